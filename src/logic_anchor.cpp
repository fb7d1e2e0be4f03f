// Keeps the logic library non-empty while the tool folders fill up.
namespace vantor { int logicAnchor() { return 0; } }
