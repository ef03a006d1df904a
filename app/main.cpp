#include "app/Talvik.h"

int main(int argc, char** argv) {
  return RunTalvik(argc, argv);
}
