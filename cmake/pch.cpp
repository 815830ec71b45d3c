// Holds the precompiled headers that the product's libraries and programs
// reuse; nothing of its own.
