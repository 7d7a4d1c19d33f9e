// The local Domino engine (filled in by the engine work).
