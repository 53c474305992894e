// What the sanitizers are told to overlook in test programs that run Qt. Qt and GLib are not
// built with the sanitizers:
// - ThreadSanitizer cannot see how their own threads (QQmlEngine's loader thread among them)
//   synchronise, so their allocations and wait conditions look racy. Reports whose stacks pass
//   through them are dropped; our own fields are read and written from our own frames.
// - The offscreen platform plugin and Qt's global objects are never freed at exit.
extern "C" const char* __tsan_default_suppressions() {
  return "race:libQt5Core.so.5\n"
         "race:libQt5Gui.so.5\n"
         "race:libQt5Qml.so.5\n"
         "race:libQt5Quick.so.5\n"
         "race:libglib-2.0.so.0\n";
}

extern "C" const char* __lsan_default_suppressions() {
  return "leak:libQt5Core.so.5\n"
         "leak:libQt5Gui.so.5\n"
         "leak:libQt5Qml.so.5\n"
         "leak:libqoffscreen.so\n"
         "leak:libQt5Quick.so.5\n"
         "leak:libfontconfig.so.1\n";
}
