add_executable(bench_web ${CMAKE_CURRENT_LIST_DIR}/bench_web.cpp)
target_link_libraries(bench_web PRIVATE lanshu_app lanshu_db Qt6::Test)
