# 从注册局更新 against local registry servers: total time per busiest server, stalls of the window's event
# loop, memory. --show opens the panel and the real review dialog (for a look at it under Xvfb).
if(TARGET lanshu_registry_testservers)
  add_executable(bench_registry ${CMAKE_CURRENT_LIST_DIR}/bench_registry.cpp)
  target_link_libraries(bench_registry PRIVATE lanshu_portfolio lanshu_registry lanshu_registry_testservers
                        lanshu_db lanshu_platform Qt6::Widgets Qt6::Test)
endif()
