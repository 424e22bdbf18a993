// Linked into the driven program of the sanitizer build only. A library loaded at run time
// and unloaded before the program exits (the EGL driver that Qt's Wayland plugin loads and
// lets go) takes its symbols with it, and LeakSanitizer then shows what that library kept as
// "<unknown module>", a frame no suppression can name. Unloading nothing keeps every frame
// nameable, so such an entry is suppressed by its library's name and the leak check stays on
// for everything else; the memory goes back at exit all the same.
extern "C" int dlclose(void*)
{
    return 0;
}
