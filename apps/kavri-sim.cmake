# kavri-sim: the virtual simulator, a stand-alone offset server for the driver's link.
if(TARGET kavri_simulator)
  add_executable(kavri-sim ${CMAKE_CURRENT_LIST_DIR}/kavri-sim.cpp)
  target_link_libraries(kavri-sim PRIVATE kavri_simulator kavri_simlink kavri_base)
endif()
