// Filled in by the platform's build.
