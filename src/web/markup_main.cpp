// aph_page_markup: prints the elements of the freshly loaded window (Form1, then the templates
// of Form2 and Form3), which the build puts into the page. Run by node at build time.
#include <cstdio>

#include "web/markup.hpp"

int main() {
  const aph::MainWindow window;
  std::string markup = aph::web::mainFormMarkup(window) + "\n" +
                       aph::web::dialogTemplateMarkup(aph::form2Layout()) + "\n" +
                       aph::web::dialogTemplateMarkup(aph::form3Layout()) + "\n";
  return std::fputs(markup.c_str(), stdout) < 0 ? 1 : 0;
}
