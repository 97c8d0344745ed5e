// Window numbers, and the control numbers that code outside their own window acts on.
#pragma once

namespace kavri {

constexpr int MAIN_WINDOW = 0;
constexpr int PROGRESS_WINDOW = 1;
constexpr int SUCTION_WINDOW = 3;
constexpr int PARAMETER_WINDOW = 4;
constexpr int OAT_WINDOW = 5;
constexpr int FUEL_WINDOW = 6;

constexpr int MAIN_POSITION_SLIDER_1 = 0;
constexpr int MAIN_VALUE_FIELD_1 = 1;
constexpr int MAIN_MODULE_SELECTOR = 6;
constexpr int MAIN_POSITION_SLIDER_2 = 7;
constexpr int MAIN_VALUE_FIELD_2 = 8;
constexpr int MAIN_PARAMETERS_BUTTON = 12;
constexpr int MAIN_BACKLIGHT_SLIDER = 28;
constexpr int MAIN_TYPE_BYTES_LIST = 30;
constexpr int MAIN_STATUS_LABEL = 49;
constexpr int MAIN_MODULE_COUNT_LABEL = 138;

// Controls of the parameter window that other code acts on; the 28 fields that show module
// parameters are numbered in the parameter table (bus_model/module_params.h).
constexpr int PARAM_WRITE_BUTTON = 9;
constexpr int PARAM_NEW_ADDRESS_FIELD = 10;
constexpr int PARAM_ADDRESS_FIELD = 11;
constexpr int PARAM_CANCEL_BUTTON = 48;
constexpr int PARAM_GAUGE1_TYPE_LIST = 29;
constexpr int PARAM_GAUGE2_TYPE_LIST = 52;
constexpr int PARAM_CALIBRATE_1_BUTTON = 87;
constexpr int PARAM_CALIBRATE_2_BUTTON = 88;
constexpr int PARAM_EXPORT_BUTTON = 109;
constexpr int PARAM_IMPORT_BUTTON = 110;

constexpr int PROGRESS_BAR = 2000;   // the progress window's bar and text have no number of
constexpr int PROGRESS_TEXT = 2001;  // their own in the main loop's dispatch; these are free

}  // namespace kavri
