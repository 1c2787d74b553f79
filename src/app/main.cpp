#include "app/TesmiraApp.h"

int main(int argc, char** argv) {
  CTesmiraApp app(argc, argv);
  if (!app.InitInstance()) return 1;
  return app.exec();
}
