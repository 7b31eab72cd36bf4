add_library(lanshu_benchlib STATIC ${CMAKE_CURRENT_LIST_DIR}/DomainGenerator.cpp ${CMAKE_CURRENT_LIST_DIR}/DomainGenerator.h ${CMAKE_CURRENT_LIST_DIR}/Timing.h
  ${CMAKE_CURRENT_LIST_DIR}/WarmShell.cpp ${CMAKE_CURRENT_LIST_DIR}/WarmShell.h)
target_include_directories(lanshu_benchlib PUBLIC ${CMAKE_CURRENT_LIST_DIR} ${PROJECT_SOURCE_DIR}/src)
target_link_libraries(lanshu_benchlib PUBLIC lanshu_db Qt6::Core)

add_executable(bench_db ${CMAKE_CURRENT_LIST_DIR}/bench_db.cpp)
target_link_libraries(bench_db PRIVATE lanshu_benchlib lanshu_db)

# The domain list at scale against the warm sqlcipher shell and a memmem ceiling (see bench_search.cpp).
add_executable(bench_search ${CMAKE_CURRENT_LIST_DIR}/bench_search.cpp)
target_link_libraries(bench_search PRIVATE lanshu_benchlib lanshu_db lanshu_platform)

# Many domains at once: select all and delete, a bulk edit, and undoing each (see bench_bulk.cpp).
add_executable(bench_bulk ${CMAKE_CURRENT_LIST_DIR}/bench_bulk.cpp)
target_link_libraries(bench_bulk PRIVATE lanshu_benchlib lanshu_db)
