// qvx5120: stores pictures, banners, test patterns and an audio loop into the QVX5120 generator.
#include "app/generator_app.h"

int main(int argc, char** argv) {
  qvx::GeneratorApp app(argc, argv);
  app.InitInstance();
  return 0;
}
