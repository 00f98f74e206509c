#include "model/window.hpp"

#include "model/text.hpp"

namespace aph {

std::optional<FieldId> findField(std::string_view name) {
  for (const FieldInfo& info : kFields)
    if (info.name == name) return info.id;
  return std::nullopt;
}

const ListInfo& listInfo(FieldId combo) {
  static const std::array<ListInfo, 4> lists = {{
      {FieldId::Combo1, {"0.5", "0.6", "0.7", "0.8", "0.9", "1.0", "1.2", "1.4", "1.5"}, 9, 8},
      {FieldId::Combo2, {"15", "16.3", "17.5"}, 3, 2},
      {FieldId::Combo3, {"5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15"}, 11, 5},
      {FieldId::Combo4,
       {"5", "6", "7", "8", "9", "10", "11", "12", "13", "14", "15", "16", "17", "18", "19", "20"},
       16,
       4},
  }};
  for (const ListInfo& list : lists)
    if (list.id == combo) return list;
  return lists[0];
}

std::optional<OptionId> findOption(std::string_view name) {
  for (const OptionInfo& option : kOptions)
    if (option.name == name) return option.id;
  return std::nullopt;
}

std::optional<Button> findButton(std::string_view name) {
  static constexpr std::array<std::string_view, 5> names = {"Command1", "Command2", "Command3",
                                                            "Command4", "Command5"};
  for (std::size_t k = 0; k < names.size(); ++k)
    if (names[k] == name) return static_cast<Button>(k);
  return std::nullopt;
}

const DialogFieldInfo* findDialogField(DialogKind kind, std::string_view name) {
  for (const DialogFieldInfo& info : kDialogFields)
    if (info.dialog == kind && info.name == name) return &info;
  return nullptr;
}

std::string_view groupHeading(FieldGroup group) {
  switch (group) {
    case FieldGroup::FlueGasStream:
      return "物性参数 · 烟气侧";
    case FieldGroup::AirStream:
      return "物性参数 · 空气侧";
    case FieldGroup::MeanTemperatureDifference:
      return "平均温差";
    case FieldGroup::PlatePack:
      return "热力计算 · 板片";
    case FieldGroup::FlueGasChannel:
      return "热力计算 · 烟气侧";
    case FieldGroup::AirChannel:
      return "热力计算 · 空气侧";
  }
  return {};
}

DialogForm::DialogForm(DialogKind kind) : kind_(kind) {
  for (const DialogFieldInfo& info : kDialogFields)
    if (info.dialog == kind)
      fields_.push_back({info.name, info.caption, std::string(info.defaultText)});
}

std::string* DialogForm::find(std::string_view fieldName) {
  for (DialogField& f : fields_)
    if (f.name == fieldName) return &f.text;
  return nullptr;
}

const std::string* DialogForm::find(std::string_view fieldName) const {
  for (const DialogField& f : fields_)
    if (f.name == fieldName) return &f.text;
  return nullptr;
}

std::string* DialogForm::find(DialogQuantity quantity) {
  const DialogFieldInfo& info = dialogFieldInfo(quantity);
  return info.dialog == kind_ ? find(info.name) : nullptr;
}

MainWindow::MainWindow() {
  for (const FieldInfo& info : kFields) {
    FieldState& f = fields_[index(info.id)];
    f.text = info.isList ? std::string() : std::string(info.defaultText);
    f.enabled = info.enabledAtStart;
  }
  Form_Load();
}

void MainWindow::setText(FieldId id, std::string_view text) {
  FieldState& f = fields_[index(id)];
  f.text.assign(text.data(), text.size());
  f.numberRead = false;
  if (fieldInfo(id).isList) {
    const ListInfo& list = listInfo(id);
    f.listIndex = -1;
    for (std::size_t k = 0; k < list.count; ++k)
      if (list.entries[k] == text) f.listIndex = static_cast<int>(k);
  }
}

std::optional<double> MainWindow::leadingNumber(FieldId id) const {
  const FieldState& f = fields_[index(id)];
  if (!f.numberRead) {
    f.number = readLeadingNumber(f.text);
    f.numberRead = true;
  }
  return f.number;
}

void MainWindow::readAllNumbers() const {
  for (const FieldInfo& info : kFields) leadingNumber(info.id);
}

void MainWindow::selectListEntry(FieldId combo, int entry) {
  const ListInfo& list = listInfo(combo);
  if (entry < 0 || static_cast<std::size_t>(entry) >= list.count) return;
  FieldState& f = fields_[index(combo)];
  f.text = std::string(list.entries[static_cast<std::size_t>(entry)]);
  f.numberRead = false;
  f.listIndex = entry;
}

void MainWindow::selectOption(OptionId id) {
  const auto k = static_cast<std::size_t>(id);
  // Option1..3 choose the arrangement, Option4..5 how the flows are given.
  const std::size_t first = k < 3 ? 0 : 3;
  const std::size_t last = k < 3 ? 3 : 5;
  for (std::size_t j = first; j < last; ++j) options_[j] = j == k;
}

DialogForm* MainWindow::dialog(DialogKind kind) {
  auto& form = kind == DialogKind::Tuning ? form2_ : form3_;
  return form ? &*form : nullptr;
}

const DialogForm* MainWindow::dialog(DialogKind kind) const {
  const auto& form = kind == DialogKind::Tuning ? form2_ : form3_;
  return form ? &*form : nullptr;
}

DialogForm& MainWindow::ensureDialog(DialogKind kind) {
  auto& form = kind == DialogKind::Tuning ? form2_ : form3_;
  if (!form) form.emplace(kind);
  return *form;
}

void MainWindow::discardDialog(DialogKind kind) {
  (kind == DialogKind::Tuning ? form2_ : form3_).reset();
}

void MainWindow::Form_Load() {
  for (FieldId combo : {FieldId::Combo1, FieldId::Combo2, FieldId::Combo3, FieldId::Combo4})
    selectListEntry(combo, listInfo(combo).startIndex);
}

void MainWindow::clickOption(OptionId id, UserInterface& ui) {
  selectOption(id);
  switch (id) {
    case OptionId::Option3:
      Option3_Click(ui);
      break;
    case OptionId::Option4:
      Option4_Click();
      break;
    case OptionId::Option5:
      Option5_Click();
      break;
    default:
      break;  // the arrangement buttons Option1 and Option2 have no handler
  }
}

const std::string* MainWindow::dialogText(DialogQuantity quantity) const {
  const DialogFieldInfo& info = dialogFieldInfo(quantity);
  const DialogForm* form = dialog(info.dialog);
  return form ? form->find(info.name) : nullptr;
}

void MainWindow::setDialogText(DialogQuantity quantity, std::string_view text) {
  const DialogFieldInfo& info = dialogFieldInfo(quantity);
  ensureDialog(info.dialog).find(info.name)->assign(text.data(), text.size());
}

void MainWindow::press(Button button, UserInterface& ui) {
  switch (button) {
    case Button::Tuning:
      Command1_Click(ui);
      break;
    case Button::Exit:
      Command2_Click();
      break;
    case Button::Calculate:
      Command3_Click(ui);
      break;
    case Button::Open:
      Command4_Click(ui);
      break;
    case Button::SaveAs:
      Command5_Click(ui);
      break;
  }
}

bool MainWindow::click(std::string_view control, UserInterface& ui) {
  if (const auto option = findOption(control)) {
    clickOption(*option, ui);
    return true;
  }
  if (const auto button = findButton(control)) {
    press(*button, ui);
    return true;
  }
  return false;
}

void MainWindow::Option4_Click() {
  setEnabled(FieldId::Text8, true);
  setEnabled(FieldId::Text1, true);
  setEnabled(FieldId::Text61, false);
  setEnabled(FieldId::Text62, false);
}

void MainWindow::Option5_Click() {
  setEnabled(FieldId::Text61, true);
  setEnabled(FieldId::Text62, true);
  setEnabled(FieldId::Text8, false);
  setEnabled(FieldId::Text1, false);
}

void MainWindow::showDialogModal(DialogKind kind, UserInterface& ui) {
  DialogForm& form = ensureDialog(kind);
  form.visible = true;
  const DialogOutcome outcome = ui.showModal(form);
  if (outcome == DialogOutcome::Closed) {
    discardDialog(kind);
  } else if (DialogForm* kept = dialog(kind)) {
    kept->visible = false;
  }
}

void MainWindow::Command1_Click(UserInterface& ui) {
  try {
    showDialogModal(DialogKind::Tuning, ui);
  } catch (...) {
    // A handler never lets anything escape into the event loop.
  }
}

void MainWindow::Command2_Click() {
  exitRequested_ = true;
}

namespace {

// How the window names a file it could not open or save: the full path the dialog returned, and
// the reason.
std::string problemText(const CaseFileProblem& problem, const std::string& path) {
  switch (problem.kind) {
    case CaseFileProblem::Kind::CannotRead:
      return "无法打开文件“" + path + "”：" + problem.detail;
    case CaseFileProblem::Kind::NotACaseFile:
      return "文件“" + path + "”不是可读的工况文件：" + problem.detail;
    case CaseFileProblem::Kind::CannotWrite:
      return "无法保存文件“" + path + "”：" + problem.detail;
  }
  return path;
}

constexpr const char* kNoCaseFiles = "本窗口未接入工况文件的读写";

// The file-name box that ends both file buttons: the full path, OK only, no icon.
MessageBoxRequest pathBox(const std::string& path) {
  return {path, kProgramTitle, MessageIcon::None, MessageButtons::Ok};
}

std::string fileName(const std::string& path) {
  const auto slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

void MainWindow::reset() {
  CaseFiles* const files = caseFiles_;
  *this = MainWindow();
  caseFiles_ = files;
}

WindowCase MainWindow::windowCase() const {
  WindowCase saved;
  for (const FieldInfo& info : kFields)
    if (!info.key.empty()) saved.texts.emplace_back(info.key, text(info.id));
  for (const DialogKind kind : {DialogKind::PassCount, DialogKind::Tuning}) {
    if (const DialogForm* form = dialog(kind))
      for (const DialogField& f : form->fields())
        saved.texts.emplace_back(findDialogField(kind, f.name)->key, f.text);
  }
  for (const OptionInfo& option : kOptions)
    if (isSelected(option.id))
      (isArrangement(option.id) ? saved.arrangement : saved.flowMode) = option.key;
  return saved;
}

std::optional<std::string> MainWindow::chooseFile(FileDialogKind kind, UserInterface& ui) {
  FileDialogRequest request;
  request.kind = kind;
  request.filters = {{"All Files (*.*)", "*.*"},
                     {"Text _Files (*.txt)", "*.txt"},
                     {"Batch Files (*.bat)", "*.bat"}};
  // "打开" also reads the load cases of a spreadsheet: offer its files by their kind.
  if (kind == FileDialogKind::Open)
    request.filters.insert(request.filters.end(),
                           {{"Excel 工作簿 (*.xlsx)", "*.xlsx"}, {"CSV 文件 (*.csv)", "*.csv"}});
  request.filterIndex = 2;
  request.hideReadOnly = true;
  const std::optional<ChosenFile> chosen = ui.chooseFile(request);
  if (!chosen) return std::nullopt;
  if (kind == FileDialogKind::Open) return chosen->path;
  // A name saved without an extension takes the one of the file type chosen with it, so that
  // the file shows under that type when it is opened again.
  const int filter = chosen->filterIndex >= 1 &&
                             static_cast<std::size_t>(chosen->filterIndex) <= request.filters.size()
                         ? chosen->filterIndex
                         : request.filterIndex;
  return withDefaultExtension(chosen->path,
                              request.filters[static_cast<std::size_t>(filter - 1)].second);
}

void MainWindow::openCaseFile(const std::string& path, UserInterface& ui) {
  if (!caseFiles_) {
    ui.showMessage(
        errorMessage(problemText({CaseFileProblem::Kind::CannotRead, kNoCaseFiles}, path)));
    return;
  }
  // Read and checked in full before anything in the window changes.
  CaseFiles::Opened opened = caseFiles_->open(path);
  if (!opened.file) {
    const CaseFileProblem problem =
        opened.problem.value_or(CaseFileProblem{CaseFileProblem::Kind::NotACaseFile, {}});
    ui.showMessage(errorMessage(problemText(problem, path)));
    return;
  }
  const std::vector<std::string> names = opened.file->caseNames();
  if (names.empty()) return;
  std::size_t which = 0;
  if (names.size() > 1) {
    const auto chosen =
        ui.chooseFromList({"选择工况",
                           "文件“" + fileName(path) + "”中有 " + std::to_string(names.size()) +
                               " 个工况，请选择一个：",
                           names});
    if (!chosen || *chosen >= names.size()) return;  // cancelled: the window stays as it was
    which = *chosen;
  }
  reset();
  opened.file->enter(which, *this, ui);
  ui.showMessage(pathBox(path));
}

void MainWindow::saveCaseFile(const std::string& path, UserInterface& ui) const {
  const std::optional<CaseFileProblem> problem =
      caseFiles_ ? caseFiles_->save(path, windowCase())
                 : CaseFileProblem{CaseFileProblem::Kind::CannotWrite, kNoCaseFiles};
  ui.showMessage(problem ? errorMessage(problemText(*problem, path)) : pathBox(path));
}

void MainWindow::Command4_Click(UserInterface& ui) {
  // A failure of the file dialog ends the handler silently, as a cancel does; so does any
  // failure the case-file code could not put into words.
  try {
    if (const auto path = chooseFile(FileDialogKind::Open, ui)) openCaseFile(*path, ui);
  } catch (...) {
  }
}

void MainWindow::Command5_Click(UserInterface& ui) {
  try {
    if (const auto path = chooseFile(FileDialogKind::Save, ui)) saveCaseFile(*path, ui);
  } catch (...) {
  }
}

std::string defaultExtension(std::string_view pattern) {
  // One pattern of the form "*.ext" with a plain extension.
  if (!pattern.starts_with("*.") || pattern.size() == 2) return {};
  const std::string_view extension = pattern.substr(2);
  if (extension.find_first_of("*?[];. ") != std::string_view::npos) return {};
  return "." + std::string(extension);
}

std::string withDefaultExtension(const std::string& path, std::string_view pattern) {
  const std::size_t nameStart = path.find_last_of('/') + 1;  // 0 without a folder
  if (nameStart == path.size() || path.find('.', nameStart) != std::string::npos) return path;
  return path + defaultExtension(pattern);
}

}  // namespace aph
