# Report figures: the default report over 10,000 and 100,000 generated domains to PDF, and the
# time until the preview shows its first page.
add_executable(bench_report ${CMAKE_CURRENT_LIST_DIR}/bench_report.cpp)
target_link_libraries(bench_report PRIVATE lanshu_benchlib lanshu_portfolio lanshu_report Qt6::Widgets)
target_compile_definitions(bench_report PRIVATE LANSHU_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
