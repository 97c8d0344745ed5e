#include "bus_model/gauge_types.h"

#include <array>

namespace kavri {

namespace {

constexpr std::array<std::string_view, GAUGE_TYPE_COUNT> kGauge1Names{{
    "Type I : Flap 737",
    "Type II : Linéaire",
    "Type III : Log +/-",
    "Type IV : KA350 Prop RPM",
    "Type V : Cabin Alt",
    "Type VI : Linéaire +/-",
    "Type VII : Température Radiateur",
    "Type VIII : Reservoir essence",
    "Type VIV : Altitude en pied",
    "Type X : Compas Curtiss",
    "Type XI : AirSpeed",
    "Type XII : Succion",
    "Type XIII : OAT",
    "Type XIV : OAT Non Linéaire",
    "Type XV : Index de Trim",
    "Type XVI : Aiguille 360",
    "Type XVII : Compas 360",
    "Type XVIII : Fuel non linéaire",
    "Type XVIV : Roulis 360",
    "Type XX : Pitch ",
    "Type XXI : Fuel Pressure PSI ",
    "Type XXII : Manifold Pressure ",
    "Type XXIII : Vertical Speed ft/min ",
    "Type XXIV : Alt/QNH en degré ",
    "Type XXV : Linéaire +/- 16 bit ",
    "Type XXVI : Deg.Rankine>Fahrenheit ",
    "Type XXVII : Oil Press PSI ",
    "Type XXVIII : Roulis 90° ",
    "Type XXVIV : Test Octet Bit 0 ",
    "Type XXX : +/- Glide ",
    "Type XXXI : 0-65535 in/out",
    "Type XXXII : Alt Ft -> pas 3.75°",
    "Type XXXIII : ITT temp en °",
    "Type XXXIV : Batt Load en A",
    "Type XXXV : Alt/QNH  -/+ = degré",
    "Type XXXVI : Throttle",
    "Type XXXVII : Flap PMDG 737",
    "Type XXXVIII : F en degré C° ",
    "Type XXXVIV : Rankine en degré C° ",
    "Type XXXIX : Flap Ifly 737",
}};
// The second gauge's list differs only where the type has no second-gauge conversion (or, for
// 17, only modifies the first gauge).
struct SecondGaugeName {
  int type;
  std::string_view name;
};
constexpr std::array<SecondGaugeName, 8> kGauge2Differences{{
    {16, "Type XVI : ------"},
    {17, "Type XVII : Type XVII compas/10"},
    {19, "Type XVIV : ------"},
    {24, "Type XXIV : ------"},
    {30, "Type XXX : ------- "},
    {31, "Type XXXI : ------- "},
    {32, "Type XXXII : ------- "},
    {35, "Type XXXV :  ------- "},
}};

constexpr std::array<std::string_view, GAUGE_TYPE_COUNT> make_gauge2_names() {
  std::array<std::string_view, GAUGE_TYPE_COUNT> names = kGauge1Names;
  for (const auto& difference : kGauge2Differences) names[difference.type - 1] = difference.name;
  return names;
}
constexpr std::array<std::string_view, GAUGE_TYPE_COUNT> kGauge2Names = make_gauge2_names();

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

std::span<const std::string_view> gauge1_type_names() { return kGauge1Names; }
std::span<const std::string_view> gauge2_type_names() { return kGauge2Names; }
std::span<const std::string_view> output_type_names() { return kOutputNames; }
std::span<const std::string_view> analog_type_names() { return kAnalogNames; }

int list_index_of_type(int type, int list_size) {
  return type >= 1 && type <= list_size ? type - 1 : -1;
}

std::optional<CalibrationKind> calibration_kind_of_type(int type) {
  switch (type) {
    case 12:
      return CalibrationKind::suction;
    case 14:
      return CalibrationKind::oat;
    case 18:
      return CalibrationKind::fuel;
    default:
      return std::nullopt;
  }
}

}  // namespace kavri
