// Keeps the application library non-empty while it has few units of its own.
