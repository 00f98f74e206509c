// What the window's handlers ask of the person, answered with real Qt windows: message boxes,
// the two dialogs, the file dialogs and the list of load cases, all modal.
#pragma once

#include <vector>

#include "model/user_interface.hpp"

class QFileDialog;

namespace aph::app {

class MainForm;

class QtUserInterface : public UserInterface {
 public:
  explicit QtUserInterface(MainForm& form) : form_(form) {}

  void showMessage(const MessageBoxRequest& message) override;
  DialogOutcome showModal(DialogForm& dialog) override;
  std::optional<ChosenFile> chooseFile(const FileDialogRequest& request) override;
  std::optional<std::size_t> chooseFromList(const ListChoiceRequest& request) override;

  // Every message box shown so far, in order.
  const std::vector<MessageBoxRequest>& messages() const { return messages_; }

 private:
  MainForm& form_;
  std::vector<MessageBoxRequest> messages_;
};

// Sets up a file dialog for a request: mode, filter list and preselected entry.
void configureFileDialog(QFileDialog& dialog, const FileDialogRequest& request);

}  // namespace aph::app
