// C API.
