// The fields of the main window Form1: names, captions, default texts and where they stand.
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

// X(name, caption, default text, group, enabled at start), in the window's reading order: frame
// by frame, row by row. The four lists show their start-up entries (Form_Load).
#define APH_FORM1_FIELDS(X)                                                         \
  X(Text8, "体积流量V1(m3/h)", "294982.42", FlueGasStream, true)                    \
  X(Text61, "质量流量G1(kg/h)", "", FlueGasStream, true)                            \
  X(Text9, "进口温度(℃)", "350", FlueGasStream, true)                               \
  X(Text10, "出口温度(℃)", "160", FlueGasStream, true)                              \
  X(Text11, "密度(kg/m3)", "0.84", FlueGasStream, true)                             \
  X(Text12, "比热容(kJ/kg·K)", "1.04", FlueGasStream, true)                         \
  X(Text14, "导热系数(W/m·K)", "0.037", FlueGasStream, true)                        \
  X(Text13, "粘度(10^6 Pa·s)", "26", FlueGasStream, true)                           \
  X(Text53, "普朗特数Pr", "", FlueGasStream, true)                                  \
  X(Text56, "壁温max（℃）", "", FlueGasStream, true)                                \
  X(Text29, "壁温（℃）", "", FlueGasStream, true)                                   \
  X(Text60, "换热量(kW)", "", FlueGasStream, true)                                  \
  X(Text1, "体积流量V2(m3/h)", "300000", AirStream, true)                           \
  X(Text62, "质量流量G2(kg/h）", "", AirStream, true)                               \
  X(Text2, "进口温度(℃)", "40", AirStream, true)                                    \
  X(Text3, "出口温度(℃)", "190", AirStream, true)                                   \
  X(Text4, "密度(kg/m3)", "1.087", AirStream, true)                                 \
  X(Text5, "比热容(kJ/kg·K)", "1.001", AirStream, true)                             \
  X(Text7, "导热系数(W/m·K)", "0.029", AirStream, true)                             \
  X(Text6, "粘度(10^6 Pa·s)", "21", AirStream, true)                                \
  X(Text54, "普朗特数Pr", "", AirStream, true)                                      \
  X(Text57, "壁温min（℃）", "", AirStream, true)                                    \
  X(Text32, "壁温（℃）", "", AirStream, true)                                       \
  X(Text24, "换热量(kW)", "", AirStream, true)                                      \
  X(Text58, "逆流对数平均温差（℃）", "", MeanTemperatureDifference, true)           \
  X(Text15, "错流（不混合）对数平均温差（℃）", "", MeanTemperatureDifference, true) \
  X(Text59, "折流对数平均温差（℃）", "", MeanTemperatureDifference, true)           \
  X(Text17, "单板换热面积（m2）", "", PlatePack, true)                              \
  X(Text18, "板对数", "110", PlatePack, true)                                       \
  X(Combo1, "板厚（mm）", "1.5", PlatePack, true)                                   \
  X(Combo2, "板片热导率（W/m·℃）", "17.5", PlatePack, true)                         \
  X(Text16, "流道长度（m）", "4.8", FlueGasChannel, true)                           \
  X(Text33, "流道宽度(m)", "2.7", FlueGasChannel, true)                             \
  X(Combo3, "烟气侧流道间距（mm）", "10", FlueGasChannel, true)                     \
  X(Text20, "烟气侧当量直径（mm）", "", FlueGasChannel, true)                       \
  X(Text43, "垢阻系数（m2·℃/W）", "", FlueGasChannel, false)                        \
  X(Text21, "烟气侧板间流速(m/s)", "", FlueGasChannel, true)                        \
  X(Text27, "角孔流速（m/s）", "", FlueGasChannel, false)                           \
  X(Text25, "雷诺数", "", FlueGasChannel, true)                                     \
  X(Text30, "努塞尔数Nu", "", FlueGasChannel, true)                                 \
  X(Text31, "给热系数(W/m2·K)", "", FlueGasChannel, true)                           \
  X(Text45, "压降△P(Pa)", "", FlueGasChannel, true)                                 \
  X(Text34, "流道长度(m)", "5.4", AirChannel, true)                                 \
  X(Text26, "流道宽度（m）", "2.4", AirChannel, true)                               \
  X(Combo4, "空气侧流道间距（mm）", "9", AirChannel, true)                          \
  X(Text55, "空气侧当量直径（mm）", "", AirChannel, true)                           \
  X(Text63, "垢阻系数（m2·℃/W）", "", AirChannel, false)                            \
  X(Text22, "空气侧板间流速（m/s）", "", AirChannel, true)                          \
  X(Text28, "角孔流速（m/s）", "", AirChannel, false)                               \
  X(Text50, "雷诺数", "", AirChannel, true)                                         \
  X(Text35, "努塞尔数Nu", "", AirChannel, true)                                     \
  X(Text36, "给热系数(W/m2·K)", "", AirChannel, true)                               \
  X(Text46, "压降△P(Pa)", "", AirChannel, true)                                     \
  X(Text19, "换热面积（m2）", "", PlatePack, true)                                  \
  X(Text52, "实际传热系数(W/m2·K)", "", PlatePack, true)                            \
  X(Text23, "理论传热系数(W/m2·K)", "", PlatePack, true)                            \
  X(Text49, "裕量R(%)", "", PlatePack, true)

enum class FieldId : std::uint8_t {
#define APH_FIELD_ENUM(name, caption, text, group, enabled) name,
  APH_FORM1_FIELDS(APH_FIELD_ENUM)
#undef APH_FIELD_ENUM
};

struct FieldInfo {
  FieldId id;
  std::string_view name;
  std::string_view caption;
  std::string_view defaultText;
  FieldGroup group;
  bool enabledAtStart;
  bool isList;
};

inline constexpr std::array kFields = {
#define APH_FIELD_INFO(name, caption, text, group, enabled) \
  FieldInfo{FieldId::name, #name, caption, text, FieldGroup::group, enabled, #name[0] == 'C'},
    APH_FORM1_FIELDS(APH_FIELD_INFO)
#undef APH_FIELD_INFO
};

inline constexpr std::size_t kFieldCount = kFields.size();

inline constexpr const FieldInfo& fieldInfo(FieldId id) {
  return kFields[static_cast<std::size_t>(id)];
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

}  // namespace aph
