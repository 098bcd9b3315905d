// A plain shared object for the loader tests.
extern "C" __attribute__((visibility("default"))) int KestrowTestAnswer() {
  return 42;
}
