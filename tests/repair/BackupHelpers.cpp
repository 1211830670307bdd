// The backup tests' registry helpers (exact values, tree dumps), built into this program too.
#include "backup/BackupTestSupport.cpp"
