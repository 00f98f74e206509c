// The elements of Form1 as HTML, made from the window model's layout and its freshly loaded
// state when the page is built, so that the page shows the window with its first paint; the
// dialogs Form2 and Form3 as templates, which the page copies when the model creates them.
#pragma once

#include <string>

#include "model/layout.hpp"
#include "model/window.hpp"

namespace aph::web {

// Form1 with the texts, enabled states and list selections of `window`.
std::string mainFormMarkup(const MainWindow& window);

// <template id="Form2-template"> (or Form3) holding the dialog with its default texts.
std::string dialogTemplateMarkup(const FormLayout& form);

// Text for HTML content and attribute values.
std::string escapeHtml(std::string_view text);

}  // namespace aph::web
