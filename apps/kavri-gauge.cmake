# kavri-gauge: what a gauge configuration shows for given simulator values.
add_executable(kavri-gauge ${CMAKE_CURRENT_LIST_DIR}/kavri-gauge.cpp)
target_link_libraries(kavri-gauge PRIVATE kavri_engine kavri_config kavri_modules kavri_base)
