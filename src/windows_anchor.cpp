// Keeps the window library non-empty while the tool folders fill up.
namespace vantor { int windowsAnchor() { return 0; } }
