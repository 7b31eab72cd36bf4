add_executable(bench_sheet ${CMAKE_CURRENT_LIST_DIR}/bench_sheet.cpp)
target_link_libraries(bench_sheet PRIVATE lanshu_sheet Qt6::Core)
