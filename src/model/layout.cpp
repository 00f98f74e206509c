#include "model/layout.hpp"

#include <array>

namespace aph {
namespace {

using K = ControlKind;

// Every text field and list is 1215 twips wide; the height suits one line of Song 12 pt.
constexpr int kFieldW = 1215;
constexpr int kFieldH = 375;
// Captions with a stated place stand there with a height that suits one line of Song 12 pt.
constexpr int kLabelH = 360;
// Captions of the rows of the four stream and channel frames stand level with their fields,
// centred on them, and reach right up to the field.
constexpr int kRowLabelH = kFieldH;

// Rows of the stream frames "烟气侧" / "空气侧" of "物性参数": caption at 120, field at 2160.
constexpr int kStreamLabelW = 2160 - 120;
// Rows of the channel frames of "热力计算": captions at 240, fields at 2880 (flue gas) and
// 3000 (air).
constexpr int kGasChannelLabelW = 2880 - 240;
constexpr int kAirChannelLabelW = 3000 - 240;

constexpr auto kForm1 = std::to_array<LayoutEntry>({
    {K::Button, "Command4", "", "打开", 240, 120, 1095, 495},
    {K::Button, "Command5", "", "另存为", 1440, 120, 1095, 495},
    {K::Label, "Label1", "", "板式空预器热力计算", 7200, 120, 3600, 435, kTitleBold},
    {K::Frame, "Frame1", "", "物性参数", 240, 720, 8895, 9735, kFrameBold},

    {K::Frame, "Frame3", "Frame1", "烟气侧", 480, 480, 3855, 6255},
    {K::Label, "Label2", "Frame3", {}, 120, 240, kStreamLabelW, kRowLabelH, kPlain, "Text8"},
    {K::Field, "Text8", "Frame3", "", 2160, 240, kFieldW, kFieldH},
    {K::Label, "Label3", "Frame3", {}, 120, 720, kStreamLabelW, kRowLabelH, kPlain, "Text61"},
    {K::Field, "Text61", "Frame3", "", 2160, 720, kFieldW, kFieldH},
    {K::Label, "Label4", "Frame3", {}, 120, 1200, kStreamLabelW, kRowLabelH, kBlue, "Text9"},
    {K::Field, "Text9", "Frame3", "", 2160, 1200, kFieldW, kFieldH},
    {K::Label, "Label5", "Frame3", {}, 120, 1680, kStreamLabelW, kRowLabelH, kBlue, "Text10"},
    {K::Field, "Text10", "Frame3", "", 2160, 1680, kFieldW, kFieldH},
    {K::Label, "Label6", "Frame3", {}, 120, 2160, kStreamLabelW, kRowLabelH, kPlain, "Text11"},
    {K::Field, "Text11", "Frame3", "", 2160, 2160, kFieldW, kFieldH},
    {K::Label, "Label7", "Frame3", {}, 120, 2640, kStreamLabelW, kRowLabelH, kPlain, "Text12"},
    {K::Field, "Text12", "Frame3", "", 2160, 2640, kFieldW, kFieldH},
    {K::Label, "Label8", "Frame3", {}, 120, 3120, kStreamLabelW, kRowLabelH, kPlain, "Text14"},
    {K::Field, "Text14", "Frame3", "", 2160, 3120, kFieldW, kFieldH},
    {K::Label, "Label9", "Frame3", {}, 120, 3600, kStreamLabelW, kRowLabelH, kPlain, "Text13"},
    {K::Field, "Text13", "Frame3", "", 2160, 3600, kFieldW, kFieldH},
    {K::Label, "Label10", "Frame3", {}, 120, 4080, kStreamLabelW, kRowLabelH, kPlain, "Text53"},
    {K::Field, "Text53", "Frame3", "", 2160, 4080, kFieldW, kFieldH},
    {K::Label, "Label11", "Frame3", {}, 120, 4560, kStreamLabelW, kRowLabelH, kPlain, "Text56"},
    {K::Field, "Text56", "Frame3", "", 2160, 4560, kFieldW, kFieldH},
    {K::Label, "Label12", "Frame3", {}, 120, 5040, kStreamLabelW, kRowLabelH, kPlain, "Text29"},
    {K::Field, "Text29", "Frame3", "", 2160, 5040, kFieldW, kFieldH},
    {K::Label, "Label13", "Frame3", {}, 120, 5520, kStreamLabelW, kRowLabelH, kPlain, "Text60"},
    {K::Field, "Text60", "Frame3", "", 2160, 5520, kFieldW, kFieldH},

    {K::Frame, "Frame2", "Frame1", "空气侧", 4560, 480, 3855, 6255},
    {K::Label, "Label14", "Frame2", {}, 120, 240, kStreamLabelW, kRowLabelH, kBlue, "Text1"},
    {K::Field, "Text1", "Frame2", "", 2160, 240, kFieldW, kFieldH},
    {K::Label, "Label15", "Frame2", {}, 120, 720, kStreamLabelW, kRowLabelH, kPlain, "Text62"},
    {K::Field, "Text62", "Frame2", "", 2160, 720, kFieldW, kFieldH},
    {K::Label, "Label16", "Frame2", {}, 120, 1200, kStreamLabelW, kRowLabelH, kBlue, "Text2"},
    {K::Field, "Text2", "Frame2", "", 2160, 1200, kFieldW, kFieldH},
    {K::Label, "Label17", "Frame2", {}, 120, 1680, kStreamLabelW, kRowLabelH, kBlue, "Text3"},
    {K::Field, "Text3", "Frame2", "", 2160, 1680, kFieldW, kFieldH},
    {K::Label, "Label18", "Frame2", {}, 120, 2160, kStreamLabelW, kRowLabelH, kPlain, "Text4"},
    {K::Field, "Text4", "Frame2", "", 2160, 2160, kFieldW, kFieldH},
    {K::Label, "Label19", "Frame2", {}, 120, 2640, kStreamLabelW, kRowLabelH, kPlain, "Text5"},
    {K::Field, "Text5", "Frame2", "", 2160, 2640, kFieldW, kFieldH},
    {K::Label, "Label20", "Frame2", {}, 120, 3120, kStreamLabelW, kRowLabelH, kPlain, "Text7"},
    {K::Field, "Text7", "Frame2", "", 2160, 3120, kFieldW, kFieldH},
    {K::Label, "Label21", "Frame2", {}, 120, 3600, kStreamLabelW, kRowLabelH, kPlain, "Text6"},
    {K::Field, "Text6", "Frame2", "", 2160, 3600, kFieldW, kFieldH},
    {K::Label, "Label22", "Frame2", {}, 120, 4080, kStreamLabelW, kRowLabelH, kPlain, "Text54"},
    {K::Field, "Text54", "Frame2", "", 2160, 4080, kFieldW, kFieldH},
    {K::Label, "Label23", "Frame2", {}, 120, 4560, kStreamLabelW, kRowLabelH, kPlain, "Text57"},
    {K::Field, "Text57", "Frame2", "", 2160, 4560, kFieldW, kFieldH},
    {K::Label, "Label24", "Frame2", {}, 120, 5040, kStreamLabelW, kRowLabelH, kPlain, "Text32"},
    {K::Field, "Text32", "Frame2", "", 2160, 5040, kFieldW, kFieldH},
    {K::Label, "Label25", "Frame2", {}, 120, 5520, kStreamLabelW, kRowLabelH, kPlain, "Text24"},
    {K::Field, "Text24", "Frame2", "", 2160, 5520, kFieldW, kFieldH},

    // The flow-mode buttons have no caption: they stand level with the flow rows of "烟气侧".
    {K::Option, "Option4", "Frame1", {}, 120, 960, 255, 255},
    {K::Option, "Option5", "Frame1", {}, 120, 1440, 255, 255},

    {K::Frame, "Frame4", "Frame1", "平均温差", 480, 7080, 5535, 2055},
    {K::Option, "Option1", "Frame4", {}, 120, 480, 4020, kFieldH},
    {K::Field, "Text58", "Frame4", "", 4200, 480, kFieldW, kFieldH},
    {K::Option, "Option2", "Frame4", {}, 120, 960, 4020, kFieldH},
    {K::Field, "Text15", "Frame4", "", 4200, 960, kFieldW, kFieldH},
    {K::Option, "Option3", "Frame4", {}, 120, 1440, 4020, kFieldH},
    {K::Field, "Text59", "Frame4", "", 4200, 1440, kFieldW, kFieldH},

    {K::Frame, "Frame12", "", "热力计算", 9720, 720, 9975, 9735, kFrameBold},
    {K::Label, "Label26", "Frame12", {}, 360, 480, 3120 - 360, kLabelH, kBlue, "Text17"},
    {K::Field, "Text17", "Frame12", "", 3120, 360, kFieldW, kFieldH},
    {K::Label, "Label27", "Frame12", {}, 5040, 480, 7920 - 5040, kLabelH, kBlue, "Combo1"},
    {K::List, "Combo1", "Frame12", "", 7920, 360, kFieldW, kFieldH},
    {K::Label, "Label28", "Frame12", {}, 360, 960, 3120 - 360, kLabelH, kBlue, "Text18"},
    {K::Field, "Text18", "Frame12", "", 3120, 840, kFieldW, kFieldH},
    {K::Label, "Label29", "Frame12", {}, 5040, 960, 7920 - 5040, kLabelH, kBlue, "Combo2"},
    {K::List, "Combo2", "Frame12", "", 7920, 840, kFieldW, kFieldH},

    {K::Frame, "Frame13", "Frame12", "烟气侧", 240, 1440, 4455, 5895},
    {K::Label, "Label30", "Frame13", {}, 240, 360, kGasChannelLabelW, kRowLabelH, kBlue, "Text16"},
    {K::Field, "Text16", "Frame13", "", 2880, 360, kFieldW, kFieldH},
    {K::Label, "Label31", "Frame13", {}, 240, 840, kGasChannelLabelW, kRowLabelH, kBlue, "Text33"},
    {K::Field, "Text33", "Frame13", "", 2880, 840, kFieldW, kFieldH},
    {K::Label, "Label32", "Frame13", {}, 240, 1320, kGasChannelLabelW, kRowLabelH, kBlue, "Combo3"},
    {K::List, "Combo3", "Frame13", "", 2880, 1320, kFieldW, kFieldH},
    {K::Label,
     "Label33",
     "Frame13",
     {},
     240,
     1800,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text20"},
    {K::Field, "Text20", "Frame13", "", 2880, 1800, kFieldW, kFieldH},
    {K::Label,
     "Label34",
     "Frame13",
     {},
     240,
     2280,
     kGasChannelLabelW,
     kRowLabelH,
     kDisabled,
     "Text43"},
    {K::Field, "Text43", "Frame13", "", 2880, 2280, kFieldW, kFieldH, kDisabled},
    {K::Label,
     "Label35",
     "Frame13",
     {},
     240,
     2760,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text21"},
    {K::Field, "Text21", "Frame13", "", 2880, 2760, kFieldW, kFieldH},
    {K::Label,
     "Label36",
     "Frame13",
     {},
     240,
     3240,
     kGasChannelLabelW,
     kRowLabelH,
     kDisabled,
     "Text27"},
    {K::Field, "Text27", "Frame13", "", 2880, 3240, kFieldW, kFieldH, kDisabled},
    {K::Label,
     "Label37",
     "Frame13",
     {},
     240,
     3720,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text25"},
    {K::Field, "Text25", "Frame13", "", 2880, 3720, kFieldW, kFieldH},
    {K::Label,
     "Label38",
     "Frame13",
     {},
     240,
     4200,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text30"},
    {K::Field, "Text30", "Frame13", "", 2880, 4200, kFieldW, kFieldH},
    {K::Label,
     "Label39",
     "Frame13",
     {},
     240,
     4680,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text31"},
    {K::Field, "Text31", "Frame13", "", 2880, 4680, kFieldW, kFieldH},
    {K::Label,
     "Label40",
     "Frame13",
     {},
     240,
     5160,
     kGasChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text45"},
    {K::Field, "Text45", "Frame13", "", 2880, 5160, kFieldW, kFieldH},

    {K::Frame, "Frame14", "Frame12", "空气侧", 4920, 1440, 4575, 5895},
    {K::Label, "Label41", "Frame14", {}, 240, 360, kAirChannelLabelW, kRowLabelH, kBlue, "Text34"},
    {K::Field, "Text34", "Frame14", "", 3000, 360, kFieldW, kFieldH},
    {K::Label, "Label42", "Frame14", {}, 240, 840, kAirChannelLabelW, kRowLabelH, kBlue, "Text26"},
    {K::Field, "Text26", "Frame14", "", 3000, 840, kFieldW, kFieldH},
    {K::Label, "Label43", "Frame14", {}, 240, 1320, kAirChannelLabelW, kRowLabelH, kBlue, "Combo4"},
    {K::List, "Combo4", "Frame14", "", 3000, 1320, kFieldW, kFieldH},
    {K::Label,
     "Label44",
     "Frame14",
     {},
     240,
     1800,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text55"},
    {K::Field, "Text55", "Frame14", "", 3000, 1800, kFieldW, kFieldH},
    {K::Label,
     "Label45",
     "Frame14",
     {},
     240,
     2280,
     kAirChannelLabelW,
     kRowLabelH,
     kDisabled,
     "Text63"},
    {K::Field, "Text63", "Frame14", "", 3000, 2280, kFieldW, kFieldH, kDisabled},
    {K::Label,
     "Label46",
     "Frame14",
     {},
     240,
     2760,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text22"},
    {K::Field, "Text22", "Frame14", "", 3000, 2760, kFieldW, kFieldH},
    {K::Label,
     "Label47",
     "Frame14",
     {},
     240,
     3240,
     kAirChannelLabelW,
     kRowLabelH,
     kDisabled,
     "Text28"},
    {K::Field, "Text28", "Frame14", "", 3000, 3240, kFieldW, kFieldH, kDisabled},
    {K::Label,
     "Label48",
     "Frame14",
     {},
     240,
     3720,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text50"},
    {K::Field, "Text50", "Frame14", "", 3000, 3720, kFieldW, kFieldH},
    {K::Label,
     "Label49",
     "Frame14",
     {},
     240,
     4200,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text35"},
    {K::Field, "Text35", "Frame14", "", 3000, 4200, kFieldW, kFieldH},
    {K::Label,
     "Label50",
     "Frame14",
     {},
     240,
     4680,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text36"},
    {K::Field, "Text36", "Frame14", "", 3000, 4680, kFieldW, kFieldH},
    {K::Label,
     "Label51",
     "Frame14",
     {},
     240,
     5160,
     kAirChannelLabelW,
     kRowLabelH,
     kPlain,
     "Text46"},
    {K::Field, "Text46", "Frame14", "", 3000, 5160, kFieldW, kFieldH},

    {K::Label, "Label52", "Frame12", {}, 480, 7560, 3120 - 480, kLabelH, kPlain, "Text19"},
    {K::Field, "Text19", "Frame12", "", 3120, 7440, kFieldW, kFieldH},
    {K::Label, "Label53", "Frame12", {}, 480, 8040, 3120 - 480, kLabelH, kPlain, "Text52"},
    {K::Field, "Text52", "Frame12", "", 3120, 7920, kFieldW, kFieldH},
    {K::Label, "Label54", "Frame12", {}, 480, 8520, 3120 - 480, kLabelH, kPlain, "Text23"},
    {K::Field, "Text23", "Frame12", "", 3120, 8400, kFieldW, kFieldH},
    {K::Label, "Label55", "Frame12", {}, 480, 9000, 3120 - 480, kLabelH, kPlain, "Text49"},
    {K::Field, "Text49", "Frame12", "", 3120, 8880, kFieldW, kFieldH},
    {K::Button, "Command3", "Frame12", "热力计算", 4920, 7440, 2655, 735},
    {K::Button, "Command1", "Frame12", "HTC", 7920, 7440, 1575, 735},
    {K::Button, "Command2", "Frame12", "退出", 4920, 8640, 2655, 615},
});

constexpr auto kForm2 = std::to_array<LayoutEntry>({
    {K::Label, "Label1", "", {}, 1680, 1200, 4080 - 1680, kLabelH, kPlain, "Text37"},
    {K::Field, "Text37", "", "", 4080, 1080, kFieldW, kFieldH},
    {K::Label, "Label2", "", {}, 1680, 1800, 4080 - 1680, kLabelH, kPlain, "Text38"},
    {K::Field, "Text38", "", "", 4080, 1680, kFieldW, kFieldH},
    {K::Label, "Label3", "", {}, 1680, 2400, 4080 - 1680, kLabelH, kPlain, "Text39"},
    {K::Field, "Text39", "", "", 4080, 2280, kFieldW, kFieldH},
    {K::Label, "Label4", "", {}, 1680, 2880, 4080 - 1680, kLabelH, kPlain, "Text40"},
    {K::Field, "Text40", "", "", 4080, 2880, kFieldW, kFieldH},
    {K::Button, "Command1", "", "确定", 2760, 3600, 1215, 615},
});

constexpr auto kForm3 = std::to_array<LayoutEntry>({
    {K::Label, "Label1", "", "折流", 3000, 600, kFieldW, kLabelH},
    {K::Label, "Label2", "", {}, 1440, 1200, 3000 - 1440, kLabelH, kPlain, "Text33"},
    {K::Field, "Text33", "", "", 3000, 1080, kFieldW, kFieldH},
    {K::Label, "Label3", "", {}, 1440, 1800, 3000 - 1440, kLabelH, kPlain, "Text34"},
    {K::Field, "Text34", "", "", 3000, 1680, kFieldW, kFieldH},
    {K::Button, "Command1", "", "确定", 2400, 2400, 1215, 615},
});

const FormLayout kForm1Layout{"Form1", " ", 23130, 12615, kForm1};
const FormLayout kForm2Layout{"Form2", "Form2", 7560, 4785, kForm2, DialogKind::Tuning};
const FormLayout kForm3Layout{"Form3", "Form3", 6495, 4770, kForm3, DialogKind::PassCount};

}  // namespace

const FormLayout& form1Layout() {
  return kForm1Layout;
}
const FormLayout& form2Layout() {
  return kForm2Layout;
}
const FormLayout& form3Layout() {
  return kForm3Layout;
}

std::string_view captionOf(const FormLayout& form, const LayoutEntry& control) {
  if (control.kind == ControlKind::Option) {
    if (const auto option = findOption(control.name)) return optionInfo(*option).caption;
  }
  if (control.kind == ControlKind::Label && !control.buddy.empty()) {
    if (form.dialog) {
      if (const DialogFieldInfo* field = findDialogField(*form.dialog, control.buddy))
        return field->caption;
    } else if (const auto field = findField(control.buddy)) {
      return fieldInfo(*field).caption;
    }
  }
  return control.caption;
}

}  // namespace aph
