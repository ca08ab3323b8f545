// Sanitizer settings for every harness. A whole freeze or apply per input moves a few
// megabytes; a small quarantine lets freed memory be reused instead of mapped afresh.
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=16:malloc_context_size=20"; }
