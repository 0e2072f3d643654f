// Filled in with the platform's tests.
