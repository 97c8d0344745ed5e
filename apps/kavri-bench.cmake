# kavri-bench: the driver on the virtual card, with the virtual panel and the virtual simulator.
if(TARGET kavri_ui_fltk)
  get_property(bench_libraries GLOBAL PROPERTY KAVRI_LIBRARIES)
  add_executable(kavri-bench ${CMAKE_CURRENT_LIST_DIR}/kavri-bench.cpp)
  target_link_libraries(kavri-bench PRIVATE -Wl,--start-group ${bench_libraries} -Wl,--end-group
                        Threads::Threads)
endif()
