# Portfolio panel figures. gen_domains <path> <count> [seed] fills a database file with realistic
# domains (benchgen::generateDomains of DomainGenerator.h, in lanshu_benchlib).
add_executable(gen_domains ${CMAKE_CURRENT_LIST_DIR}/gen_domains.cpp)
target_link_libraries(gen_domains PRIVATE lanshu_benchlib)

add_executable(bench_portfolio ${CMAKE_CURRENT_LIST_DIR}/bench_portfolio.cpp)
target_link_libraries(bench_portfolio PRIVATE lanshu_benchlib lanshu_portfolio Qt6::Widgets)

add_executable(bench_totals ${CMAKE_CURRENT_LIST_DIR}/bench_totals.cpp)
target_link_libraries(bench_totals PRIVATE lanshu_benchlib lanshu_db lanshu_platform)
