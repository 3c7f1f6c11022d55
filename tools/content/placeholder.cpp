// Keeps the content library non-empty while its parts are being written.
