// The one table of fields: every field of the main window Form1 and of its two dialogs, described
// once with its control name, caption, unit, default text, case-file key, result column, text
// format and role. The window model, both windows, the case files, the result tables and the
// datasheet all take these from here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace aph {

// Which frame of the main window holds a field.
enum class FieldGroup : std::uint8_t {
  FlueGasStream,              // Frame3 "烟气侧" in "物性参数"
  AirStream,                  // Frame2 "空气侧" in "物性参数"
  MeanTemperatureDifference,  // Frame4 "平均温差"
  PlatePack,                  // Frame12 "热力计算", top and bottom rows
  FlueGasChannel,             // Frame13 "烟气侧" in "热力计算"
  AirChannel,                 // Frame14 "空气侧" in "热力计算"
};
inline constexpr std::array kFieldGroups = {
    FieldGroup::FlueGasStream, FieldGroup::AirStream,      FieldGroup::MeanTemperatureDifference,
    FieldGroup::PlatePack,     FieldGroup::FlueGasChannel, FieldGroup::AirChannel,
};
// The heading a printed table gives a group: "物性参数 · 烟气侧".
std::string_view groupHeading(FieldGroup group);

// What a field is to the calculation.
enum class FieldRole : std::uint8_t {
  Input,   // typed by the user, read by the calculation
  Both,    // read, or written when its rule applies (properties, flows, area, diameters)
  Result,  // written by the calculation
  Unused,  // never written or read (the port velocities)
};

// How the calculation writes a number into a field.
enum class TextFormat : std::uint8_t {
  None,         // never written
  Fixed4,       // "0.0000"
  Fixed3,       // "0.000"
  Plain,        // up to 15 significant digits
  PlainSingle,  // a single-precision value, up to 7 significant digits
};

// X(name, quantity, caption, default text, group, enabled at start, unit, case-file key, result
// column, format, role), in the window's reading order: frame by frame, row by row. Units are the
// caption's, in plain text. The four lists show their start-up entries (Form_Load).
#define APH_FORM1_FIELDS(X)                                                                        \
  X(Text8, FlueGasVolumeFlow, "体积流量V1(m3/h)", "294982.42", FlueGasStream, true, "m3/h",        \
    "flue_gas.volume_flow", "flue_gas.volume_flow", Plain, Both)                                   \
  X(Text61, FlueGasMassFlow, "质量流量G1(kg/h)", "", FlueGasStream, true, "kg/h",                  \
    "flue_gas.mass_flow", "flue_gas.mass_flow", Plain, Both)                                       \
  X(Text9, FlueGasInletTemperature, "进口温度(℃)", "350", FlueGasStream, true, "℃",                \
    "flue_gas.inlet_temperature", "", None, Input)                                                 \
  X(Text10, FlueGasOutletTemperature, "出口温度(℃)", "160", FlueGasStream, true, "℃",              \
    "flue_gas.outlet_temperature", "", None, Input)                                                \
  X(Text11, FlueGasDensity, "密度(kg/m3)", "0.84", FlueGasStream, true, "kg/m3",                   \
    "flue_gas.density", "flue_gas.density", Plain, Both)                                           \
  X(Text12, FlueGasSpecificHeat, "比热容(kJ/kg·K)", "1.04", FlueGasStream, true, "kJ/kg·K",        \
    "flue_gas.specific_heat", "flue_gas.specific_heat", Plain, Both)                               \
  X(Text14, FlueGasConductivity, "导热系数(W/m·K)", "0.037", FlueGasStream, true, "W/m·K",         \
    "flue_gas.conductivity", "flue_gas.conductivity", Plain, Both)                                 \
  X(Text13, FlueGasViscosity, "粘度(10^6 Pa·s)", "26", FlueGasStream, true, "10^-6 Pa·s",          \
    "flue_gas.viscosity", "flue_gas.viscosity", Plain, Both)                                       \
  X(Text53, FlueGasPrandtl, "普朗特数Pr", "", FlueGasStream, true, "", "", "flue_gas.prandtl",     \
    Plain, Result)                                                                                 \
  X(Text56, WallMaximum, "壁温max（℃）", "", FlueGasStream, true, "℃", "", "wall.max", Plain,      \
    Result)                                                                                        \
  X(Text29, HotEndAirSideWall, "壁温（℃）", "", FlueGasStream, true, "℃", "",                      \
    "wall.hot_end_air_side", Fixed3, Result)                                                       \
  X(Text60, FlueGasHeatDuty, "换热量(kW)", "", FlueGasStream, true, "kW", "",                      \
    "flue_gas.heat_duty", Fixed4, Result)                                                          \
  X(Text1, AirVolumeFlow, "体积流量V2(m3/h)", "300000", AirStream, true, "m3/h",                   \
    "air.volume_flow", "air.volume_flow", Plain, Both)                                             \
  X(Text62, AirMassFlow, "质量流量G2(kg/h）", "", AirStream, true, "kg/h", "air.mass_flow",        \
    "air.mass_flow", Plain, Both)                                                                  \
  X(Text2, AirInletTemperature, "进口温度(℃)", "40", AirStream, true, "℃",                         \
    "air.inlet_temperature", "", None, Input)                                                      \
  X(Text3, AirOutletTemperature, "出口温度(℃)", "190", AirStream, true, "℃",                       \
    "air.outlet_temperature", "", None, Input)                                                     \
  X(Text4, AirDensity, "密度(kg/m3)", "1.087", AirStream, true, "kg/m3", "air.density",            \
    "air.density", Plain, Both)                                                                    \
  X(Text5, AirSpecificHeat, "比热容(kJ/kg·K)", "1.001", AirStream, true, "kJ/kg·K",                \
    "air.specific_heat", "air.specific_heat", Plain, Both)                                         \
  X(Text7, AirConductivity, "导热系数(W/m·K)", "0.029", AirStream, true, "W/m·K",                  \
    "air.conductivity", "air.conductivity", Plain, Both)                                           \
  X(Text6, AirViscosity, "粘度(10^6 Pa·s)", "21", AirStream, true, "10^-6 Pa·s", "air.viscosity",  \
    "air.viscosity", Plain, Both)                                                                  \
  X(Text54, AirPrandtl, "普朗特数Pr", "", AirStream, true, "", "", "air.prandtl", Plain, Result)   \
  X(Text57, WallMinimum, "壁温min（℃）", "", AirStream, true, "℃", "", "wall.min", Fixed3, Result) \
  X(Text32, ColdEndFlueGasSideWall, "壁温（℃）", "", AirStream, true, "℃", "",                     \
    "wall.cold_end_flue_gas_side", Plain, Result)                                                  \
  X(Text24, AirHeatDuty, "换热量(kW)", "", AirStream, true, "kW", "", "air.heat_duty", Fixed4,     \
    Result)                                                                                        \
  X(Text58, CounterflowMeanDifference, "逆流对数平均温差（℃）", "", MeanTemperatureDifference,     \
    true, "℃", "", "counterflow_mtd", Fixed4, Result)                                              \
  X(Text15, CrossflowMeanDifference, "错流（不混合）对数平均温差（℃）", "",                        \
    MeanTemperatureDifference, true, "℃", "", "crossflow_mtd", Fixed4, Result)                     \
  X(Text59, MultiPassMeanDifference, "折流对数平均温差（℃）", "", MeanTemperatureDifference, true, \
    "℃", "", "multi_pass_mtd", PlainSingle, Result)                                                \
  X(Text17, SinglePlateArea, "单板换热面积（m2）", "", PlatePack, true, "m2", "",                  \
    "plate.single_area", Plain, Result)                                                            \
  X(Text18, PlatePairs, "板对数", "110", PlatePack, true, "", "plate.pairs", "", None, Input)      \
  X(Combo1, PlateThickness, "板厚（mm）", "1.5", PlatePack, true, "mm", "plate.thickness", "",     \
    None, Input)                                                                                   \
  X(Combo2, PlateConductivity, "板片热导率（W/m·℃）", "17.5", PlatePack, true, "W/m·℃",            \
    "plate.conductivity", "", None, Input)                                                         \
  X(Text16, FlueGasChannelLength, "流道长度（m）", "4.8", FlueGasChannel, true, "m",               \
    "flue_gas.channel_length", "", None, Input)                                                    \
  X(Text33, FlueGasChannelWidth, "流道宽度(m)", "2.7", FlueGasChannel, true, "m",                  \
    "flue_gas.channel_width", "", None, Input)                                                     \
  X(Combo3, FlueGasChannelGap, "烟气侧流道间距（mm）", "10", FlueGasChannel, true, "mm",           \
    "flue_gas.channel_gap", "", None, Input)                                                       \
  X(Text20, FlueGasEquivalentDiameter, "烟气侧当量直径（mm）", "", FlueGasChannel, true, "mm",     \
    "flue_gas.equivalent_diameter", "flue_gas.equivalent_diameter", Fixed4, Both)                  \
  X(Text43, FlueGasFouling, "垢阻系数（m2·℃/W）", "", FlueGasChannel, false, "m2·℃/W",             \
    "flue_gas.fouling", "", None, Input)                                                           \
  X(Text21, FlueGasVelocity, "烟气侧板间流速(m/s)", "", FlueGasChannel, true, "m/s", "",           \
    "flue_gas.velocity", Fixed4, Result)                                                           \
  X(Text27, FlueGasPortVelocity, "角孔流速（m/s）", "", FlueGasChannel, false, "m/s", "", "",      \
    None, Unused)                                                                                  \
  X(Text25, FlueGasReynolds, "雷诺数", "", FlueGasChannel, true, "", "", "flue_gas.reynolds",      \
    Fixed4, Result)                                                                                \
  X(Text30, FlueGasNusselt, "努塞尔数Nu", "", FlueGasChannel, true, "", "", "flue_gas.nusselt",    \
    Fixed4, Result)                                                                                \
  X(Text31, FlueGasFilmCoefficient, "给热系数(W/m2·K)", "", FlueGasChannel, true, "W/m2·K", "",    \
    "flue_gas.film_coefficient", Fixed4, Result)                                                   \
  X(Text45, FlueGasPressureDrop, "压降△P(Pa)", "", FlueGasChannel, true, "Pa", "",                 \
    "flue_gas.pressure_drop", Fixed4, Result)                                                      \
  X(Text34, AirChannelLength, "流道长度(m)", "5.4", AirChannel, true, "m", "air.channel_length",   \
    "", None, Input)                                                                               \
  X(Text26, AirChannelWidth, "流道宽度（m）", "2.4", AirChannel, true, "m", "air.channel_width",   \
    "", None, Input)                                                                               \
  X(Combo4, AirChannelGap, "空气侧流道间距（mm）", "9", AirChannel, true, "mm", "air.channel_gap", \
    "", None, Input)                                                                               \
  X(Text55, AirEquivalentDiameter, "空气侧当量直径（mm）", "", AirChannel, true, "mm",             \
    "air.equivalent_diameter", "air.equivalent_diameter", Fixed4, Both)                            \
  X(Text63, AirFouling, "垢阻系数（m2·℃/W）", "", AirChannel, false, "m2·℃/W", "air.fouling", "",  \
    None, Input)                                                                                   \
  X(Text22, AirVelocity, "空气侧板间流速（m/s）", "", AirChannel, true, "m/s", "", "air.velocity", \
    Fixed4, Result)                                                                                \
  X(Text28, AirPortVelocity, "角孔流速（m/s）", "", AirChannel, false, "m/s", "", "", None,        \
    Unused)                                                                                        \
  X(Text50, AirReynolds, "雷诺数", "", AirChannel, true, "", "", "air.reynolds", Fixed4, Result)   \
  X(Text35, AirNusselt, "努塞尔数Nu", "", AirChannel, true, "", "", "air.nusselt", Fixed4, Result) \
  X(Text36, AirFilmCoefficient, "给热系数(W/m2·K)", "", AirChannel, true, "W/m2·K", "",            \
    "air.film_coefficient", Fixed4, Result)                                                        \
  X(Text46, AirPressureDrop, "压降△P(Pa)", "", AirChannel, true, "Pa", "", "air.pressure_drop",    \
    Fixed4, Result)                                                                                \
  X(Text19, HeatTransferArea, "换热面积（m2）", "", PlatePack, true, "m2", "", "plate.area",       \
    PlainSingle, Result)                                                                           \
  X(Text52, ActualCoefficient, "实际传热系数(W/m2·K)", "", PlatePack, true, "W/m2·K", "",          \
    "k_actual", Fixed4, Result)                                                                    \
  X(Text23, TheoreticalCoefficient, "理论传热系数(W/m2·K)", "", PlatePack, true, "W/m2·K", "",     \
    "k_theoretical", Fixed4, Result)                                                               \
  X(Text49, Margin, "裕量R(%)", "", PlatePack, true, "%", "", "margin", Fixed4, Result)

enum class FieldId : std::uint8_t {
#define APH_FIELD_ENUM(name, quantity, caption, text, group, enabled, unit, key, column, format, \
                       role)                                                                     \
  name,
  APH_FORM1_FIELDS(APH_FIELD_ENUM)
#undef APH_FIELD_ENUM
};

// The same fields named for the physical quantity each shows, in the same order: the words of
// everything above the window model, which never needs to know which control shows what.
enum class Quantity : std::uint8_t {
#define APH_QUANTITY_ENUM(name, quantity, caption, text, group, enabled, unit, key, column, \
                          format, role)                                                     \
  quantity,
  APH_FORM1_FIELDS(APH_QUANTITY_ENUM)
#undef APH_QUANTITY_ENUM
};

inline constexpr FieldId fieldOf(Quantity quantity) {
  return static_cast<FieldId>(quantity);
}
inline constexpr Quantity quantityOf(FieldId id) {
  return static_cast<Quantity>(id);
}

struct FieldInfo {
  FieldId id;
  Quantity quantity;
  std::string_view name;
  std::string_view quantityName;  // "FlueGasInletTemperature"
  std::string_view caption;
  std::string_view defaultText;
  FieldGroup group;
  bool enabledAtStart;
  bool isList;
  std::string_view unit;    // empty: a pure number
  std::string_view key;     // case-file key; empty: not an input of case files
  std::string_view column;  // result column of the tables, CSV and JSON; empty: not a result
  TextFormat format;
  FieldRole role;
};

inline constexpr std::array kFields = {
#define APH_FIELD_INFO(name, quantity, caption, text, group, enabled, unit, key, column, format, \
                       role)                                                                     \
  FieldInfo{FieldId::name,                                                                       \
            Quantity::quantity,                                                                  \
            #name,                                                                               \
            #quantity,                                                                           \
            caption,                                                                             \
            text,                                                                                \
            FieldGroup::group,                                                                   \
            enabled,                                                                             \
            #name[0] == 'C',                                                                     \
            unit,                                                                                \
            key,                                                                                 \
            column,                                                                              \
            TextFormat::format,                                                                  \
            FieldRole::role},
    APH_FORM1_FIELDS(APH_FIELD_INFO)
#undef APH_FIELD_INFO
};

inline constexpr std::size_t kFieldCount = kFields.size();

inline constexpr const FieldInfo& fieldInfo(FieldId id) {
  return kFields[static_cast<std::size_t>(id)];
}
inline constexpr const FieldInfo& fieldInfo(Quantity quantity) {
  return fieldInfo(fieldOf(quantity));
}

// Looks a Form1 field or list up by its control name ("Text9", "Combo3").
std::optional<FieldId> findField(std::string_view name);

// Entries of the four editable lists, and the entry Form_Load selects.
struct ListInfo {
  FieldId id;
  std::array<std::string_view, 16> entries;
  std::size_t count;
  int startIndex;
};
const ListInfo& listInfo(FieldId combo);
inline const ListInfo& listInfo(Quantity quantity) {
  return listInfo(fieldOf(quantity));
}

// ---- The dialogs ------------------------------------------------------------------------------

enum class DialogKind : std::uint8_t { Tuning, PassCount };  // Form2, Form3

// A field of the tuning dialog Form2 or the pass-count dialog Form3. Neither dialog checks or
// computes anything; the calculation reads their texts.
// The dialogs' fields by what they hold, in the order of kDialogFields.
enum class DialogQuantity : std::uint8_t {
  FlueGasNusseltFactor,
  AirNusseltFactor,
  FlueGasResistanceFactor,
  AirResistanceFactor,
  FlueGasPasses,
  AirPasses,
};

struct DialogFieldInfo {
  DialogQuantity quantity;
  DialogKind dialog;
  std::string_view name;  // control name within its dialog
  std::string_view caption;
  std::string_view defaultText;
  std::string_view key;  // case-file key
};

inline constexpr std::array kDialogFields = {
    DialogFieldInfo{DialogQuantity::FlueGasNusseltFactor, DialogKind::Tuning, "Text37",
                    "烟气侧Nu可调系数", "1.0", "factors.flue_gas_nu"},
    DialogFieldInfo{DialogQuantity::AirNusseltFactor, DialogKind::Tuning, "Text38",
                    "空气侧Nu可调系数", "1.0", "factors.air_nu"},
    DialogFieldInfo{DialogQuantity::FlueGasResistanceFactor, DialogKind::Tuning, "Text39",
                    "烟气侧阻力可调系数", "1.0", "factors.flue_gas_resistance"},
    DialogFieldInfo{DialogQuantity::AirResistanceFactor, DialogKind::Tuning, "Text40",
                    "空气侧阻力可调系数", "1.0", "factors.air_resistance"},
    DialogFieldInfo{DialogQuantity::FlueGasPasses, DialogKind::PassCount, "Text33", "烟气侧流程数",
                    "", "passes.flue_gas"},
    DialogFieldInfo{DialogQuantity::AirPasses, DialogKind::PassCount, "Text34", "空气侧流程数", "",
                    "passes.air"},
};
inline constexpr const DialogFieldInfo& dialogFieldInfo(DialogQuantity quantity) {
  return kDialogFields[static_cast<std::size_t>(quantity)];
}

// "Form2" or "Form3".
inline constexpr std::string_view dialogName(DialogKind kind) {
  return kind == DialogKind::Tuning ? "Form2" : "Form3";
}
// A dialog field by its dialog and control name; nullptr when the dialog has no such field.
const DialogFieldInfo* findDialogField(DialogKind kind, std::string_view name);

// ---- The option buttons -----------------------------------------------------------------------

enum class OptionId : std::uint8_t { Option1, Option2, Option3, Option4, Option5 };

struct OptionInfo {
  OptionId id;
  std::string_view name;          // "Option1"
  std::string_view caption;       // beside the button; the flow-mode buttons have none
  std::string_view shortCaption;  // how a table names the choice: "逆流"
  std::string_view key;           // its value in case files: "counterflow"
};

// Option1..3 choose the flow arrangement, Option4..5 how the flows are given.
inline constexpr std::array kOptions = {
    OptionInfo{OptionId::Option1, "Option1", "逆流对数平均温差（℃）", "逆流", "counterflow"},
    OptionInfo{OptionId::Option2, "Option2", "错流（不混合）对数平均温差（℃）", "错流（不混合）",
               "crossflow"},
    OptionInfo{OptionId::Option3, "Option3", "折流对数平均温差（℃）", "折流", "multi-pass"},
    OptionInfo{OptionId::Option4, "Option4", "", "体积流量", "volume"},
    OptionInfo{OptionId::Option5, "Option5", "", "质量流量", "mass"},
};
inline constexpr const OptionInfo& optionInfo(OptionId id) {
  return kOptions[static_cast<std::size_t>(id)];
}
inline constexpr bool isArrangement(OptionId id) {
  return static_cast<std::size_t>(id) < 3;
}
// How a table names a group with no option selected.
inline constexpr std::string_view kNothingSelected = "未选择";
std::optional<OptionId> findOption(std::string_view name);

// The two groups of option buttons by what they choose.
enum class Arrangement : std::uint8_t { Counterflow, Crossflow, MultiPass };  // Option1..3
enum class FlowMode : std::uint8_t { Volume, Mass };                          // Option4..5

inline constexpr OptionId optionOf(Arrangement arrangement) {
  return static_cast<OptionId>(arrangement);
}
inline constexpr OptionId optionOf(FlowMode mode) {
  return static_cast<OptionId>(3 + static_cast<int>(mode));
}
inline constexpr const OptionInfo& optionInfo(Arrangement arrangement) {
  return optionInfo(optionOf(arrangement));
}
inline constexpr const OptionInfo& optionInfo(FlowMode mode) {
  return optionInfo(optionOf(mode));
}
inline constexpr std::optional<Arrangement> arrangementOf(OptionId id) {
  if (!isArrangement(id)) return std::nullopt;
  return static_cast<Arrangement>(id);
}
inline constexpr std::optional<FlowMode> flowModeOf(OptionId id) {
  if (isArrangement(id)) return std::nullopt;
  return static_cast<FlowMode>(static_cast<int>(id) - 3);
}

// ---- The push buttons of the main window -------------------------------------------------------

enum class Button : std::uint8_t {
  Tuning,     // Command1 "HTC"
  Exit,       // Command2 "退出"
  Calculate,  // Command3 "热力计算"
  Open,       // Command4 "打开"
  SaveAs,     // Command5 "另存为"
};
// A push button by its control name ("Command3").
std::optional<Button> findButton(std::string_view name);

}  // namespace aph
