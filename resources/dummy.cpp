// Keeps the resource object library non-empty before any .qrc exists.
