// A shared library that loads but offers no component entry.
extern "C" int quillet_not_a_component() { return 1; }
