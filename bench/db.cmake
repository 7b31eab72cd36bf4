add_library(lanshu_benchlib STATIC ${CMAKE_CURRENT_LIST_DIR}/DomainGenerator.cpp ${CMAKE_CURRENT_LIST_DIR}/DomainGenerator.h ${CMAKE_CURRENT_LIST_DIR}/Timing.h
  ${CMAKE_CURRENT_LIST_DIR}/WarmShell.cpp ${CMAKE_CURRENT_LIST_DIR}/WarmShell.h)
target_include_directories(lanshu_benchlib PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lanshu_benchlib PUBLIC lanshu_db Qt6::Core)

add_executable(bench_db ${CMAKE_CURRENT_LIST_DIR}/bench_db.cpp)
target_link_libraries(bench_db PRIVATE lanshu_benchlib lanshu_db)

# The domain list at scale against the warm sqlcipher shell and a memmem ceiling (see bench_search.cpp).
add_executable(bench_search ${CMAKE_CURRENT_LIST_DIR}/bench_search.cpp)
target_link_libraries(bench_search PRIVATE lanshu_benchlib lanshu_db lanshu_platform)
