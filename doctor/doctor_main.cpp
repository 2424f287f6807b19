// qvx5120-doctor: checks everything between this computer and each generator (doctor/run.h).
#include <iostream>
#include <string>
#include <vector>

#include "device/library_loader.h"
#include "doctor/run.h"
#include "port/clock.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  qvx::SystemLibraryLoader loader;
  qvx::SystemClock clock;
  qvx::doctor::DoctorContext context{std::cout, std::cerr, loader, clock};
  return qvx::doctor::RunDoctor(args, context);
}
