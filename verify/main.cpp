#include "verify/run_verify.h"

int main(int argc, char** argv) {
  return RunVerify(argc, argv);
}
