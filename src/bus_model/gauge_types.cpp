#include "bus_model/gauge_types.h"

#include <array>

namespace kavri {

namespace {

using enum GaugeType;
using enum PositionWidth;
constexpr std::nullopt_t none = std::nullopt;  // no calibration table

// Type, first list's name, second list's name ({}: the same), position, calibration table,
// reads the glide flag, has a second-gauge conversion. The second list differs only where the
// type has no second-gauge conversion (or, for 17, only modifies the first gauge).
constexpr std::array<GaugeTypeInfo, GAUGE_TYPE_COUNT> kGaugeTypes{{
    {flap_737, "Type I : Flap 737", {}, byte, none, false, true},
    {linear, "Type II : Linéaire", {}, byte, none, false, true},
    {logarithmic, "Type III : Log +/-", {}, byte, none, false, true},
    {ka350_prop_rpm, "Type IV : KA350 Prop RPM", {}, byte, none, false, true},
    {cabin_altitude, "Type V : Cabin Alt", {}, byte, none, false, true},
    {linear_signed, "Type VI : Linéaire +/-", {}, byte, none, false, true},
    {radiator_temperature, "Type VII : Température Radiateur", {}, byte, none, false, true},
    {fuel_tank, "Type VIII : Reservoir essence", {}, byte, none, false, true},
    {altitude_feet, "Type VIV : Altitude en pied", {}, byte, none, false, true},
    {curtiss_compass, "Type X : Compas Curtiss", {}, byte, none, false, true},
    {airspeed, "Type XI : AirSpeed", {}, byte, none, false, true},
    {suction, "Type XII : Succion", {}, byte, CalibrationKind::suction, false, true},
    {oat, "Type XIII : OAT", {}, byte, none, false, true},
    {oat_non_linear, "Type XIV : OAT Non Linéaire", {}, byte, CalibrationKind::oat, false, true},
    {trim_index, "Type XV : Index de Trim", {}, byte, none, false, true},
    {needle_360, "Type XVI : Aiguille 360", "Type XVI : ------", tenths_of_degree, none, false,
     false},
    {compass_360, "Type XVII : Compas 360", "Type XVII : Type XVII compas/10", tenths_of_degree,
     none, false, false},
    {fuel_non_linear,
     "Type XVIII : Fuel non linéaire",
     {},
     byte,
     CalibrationKind::fuel,
     false,
     true},
    {roll_360, "Type XVIV : Roulis 360", "Type XVIV : ------", tenths_of_degree, none, false,
     false},
    {pitch, "Type XX : Pitch ", {}, byte, none, false, true},
    {fuel_pressure, "Type XXI : Fuel Pressure PSI ", {}, byte, none, false, true},
    {manifold_pressure, "Type XXII : Manifold Pressure ", {}, byte, none, false, true},
    {vertical_speed, "Type XXIII : Vertical Speed ft/min ", {}, byte, none, false, true},
    {altitude_qnh, "Type XXIV : Alt/QNH en degré ", "Type XXIV : ------", tenths_of_degree, none,
     false, false},
    {linear_signed_16, "Type XXV : Linéaire +/- 16 bit ", {}, byte, none, false, true},
    {rankine_to_fahrenheit, "Type XXVI : Deg.Rankine>Fahrenheit ", {}, byte, none, false, true},
    {oil_pressure, "Type XXVII : Oil Press PSI ", {}, byte, none, false, true},
    {roll_90, "Type XXVIII : Roulis 90° ", {}, byte, none, false, true},
    {bit_0_test, "Type XXVIV : Test Octet Bit 0 ", {}, byte, none, false, true},
    {glide, "Type XXX : +/- Glide ", "Type XXX : ------- ", byte, none, true, false},
    {raw_16_bit, "Type XXXI : 0-65535 in/out", "Type XXXI : ------- ", sixteen_bit, none, false,
     false},
    {altitude_steps, "Type XXXII : Alt Ft -> pas 3.75°", "Type XXXII : ------- ", sixteen_bit, none,
     false, false},
    {itt_temperature, "Type XXXIII : ITT temp en °", {}, byte, none, false, true},
    {battery_load, "Type XXXIV : Batt Load en A", {}, byte, none, false, true},
    {altitude_qnh_signed, "Type XXXV : Alt/QNH  -/+ = degré", "Type XXXV :  ------- ",
     tenths_of_degree, none, false, false},
    {throttle, "Type XXXVI : Throttle", {}, byte, none, false, true},
    {flap_pmdg_737, "Type XXXVII : Flap PMDG 737", {}, byte, none, false, true},
    {fahrenheit_to_celsius, "Type XXXVIII : F en degré C° ", {}, byte, none, false, true},
    {rankine_to_celsius, "Type XXXVIV : Rankine en degré C° ", {}, byte, none, false, true},
    {flap_ifly_737, "Type XXXIX : Flap Ifly 737", {}, byte, none, false, true},
}};

constexpr std::array<std::string_view, GAUGE_TYPE_COUNT> list_names(bool second) {
  std::array<std::string_view, GAUGE_TYPE_COUNT> names{};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const GaugeTypeInfo& info = kGaugeTypes[i];
    names[i] = second && !info.gauge2_name.empty() ? info.gauge2_name : info.gauge1_name;
  }
  return names;
}
constexpr auto kGauge1Names = list_names(false);
constexpr auto kGauge2Names = list_names(true);

constexpr std::array<std::string_view, 2> kOutputNames{{
    "Type I : 0/1",
    "Type II : -1/0/1",
}};

constexpr std::array<std::string_view, 3> kAnalogNames{{
    "Type I: Capteur angulaire magn.",
    "Type II: Potentiomètre",
    "Type III: capteur(s) passage zéro",
}};

}  // namespace

std::span<const GaugeTypeInfo> gauge_type_infos() { return kGaugeTypes; }

const GaugeTypeInfo* gauge_type_info(int type) {
  if (type < 1 || type > GAUGE_TYPE_COUNT) return nullptr;
  return &kGaugeTypes[static_cast<std::size_t>(type - 1)];
}

bool is_split_type(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr && info->position != byte;
}

bool is_360_degree_type(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr && info->position == tenths_of_degree;
}

bool is_16_bit_type(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr && info->position == sixteen_bit;
}

bool reads_glide_flag(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr && info->reads_glide_flag;
}

bool has_gauge2_conversion(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr && info->has_gauge2_conversion;
}

std::optional<CalibrationKind> calibration_kind_of_type(int type) {
  const GaugeTypeInfo* info = gauge_type_info(type);
  return info != nullptr ? info->calibration : std::nullopt;
}

std::span<const std::string_view> gauge1_type_names() { return kGauge1Names; }
std::span<const std::string_view> gauge2_type_names() { return kGauge2Names; }
std::span<const std::string_view> output_type_names() { return kOutputNames; }
std::span<const std::string_view> analog_type_names() { return kAnalogNames; }

int list_index_of_type(int type, int list_size) {
  return type >= 1 && type <= list_size ? type - 1 : -1;
}

}  // namespace kavri
