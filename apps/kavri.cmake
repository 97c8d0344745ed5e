# kavri: the driver on the USB card (hidapi) with the FLTK windows.
if(TARGET kavri_device_hidapi AND TARGET kavri_ui_fltk)
  add_executable(kavri ${CMAKE_CURRENT_LIST_DIR}/kavri.cpp)
  target_link_libraries(kavri PRIVATE kavri_shell kavri_device_hidapi kavri_ui_fltk)
endif()
