#include "converter_app.h"

int main(int argc, char** argv) {
  tessaglyph::ConverterApp app(argc, argv);
  app.InitInstance();
  return 0;
}
