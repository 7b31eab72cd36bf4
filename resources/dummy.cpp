// Holds the compiled-in artwork.
