#pragma once
// Fuzz entry points: each takes arbitrary bytes, drives one reader of hostile
// input, checks what must hold afterwards and aborts when it does not.

#include <cstddef>
#include <cstdint>

#include "dom/domstring.h"

// Bytes as text: UTF-16LE after a FF FE mark, otherwise each byte one unit.
DomString fuzzText(const std::uint8_t* data, std::size_t size);

int fuzzDeclarationParser(const std::uint8_t* data, std::size_t size);
int fuzzColourReader(const std::uint8_t* data, std::size_t size);
int fuzzMovieLoader(const std::uint8_t* data, std::size_t size);
// One byte of version, then an action block run as frame, sprite and init scripts.
int fuzzActionBlock(const std::uint8_t* data, std::size_t size);
// The bytes as a skin file.
int fuzzSkinLoader(const std::uint8_t* data, std::size_t size);
// The bytes as a page (UTF-8) for the HTML viewer; the first byte picks
// plain text and where the source is split between two DTM_ADDTEXTW.
int fuzzHtmlViewer(const std::uint8_t* data, std::size_t size);
// The bytes as the saved key-map text: parsed, saved and parsed again.
int fuzzKeyMapText(const std::uint8_t* data, std::size_t size);
// The bytes as a ".bfl" playlist file: what reads is saved and read back.
int fuzzPlaylistFile(const std::uint8_t* data, std::size_t size);
// The bytes as the device registry's file: parsed and written back, and
// loaded by a store, which moves a file it cannot read aside whole.
int fuzzRegistryFile(const std::uint8_t* data, std::size_t size);
// The bytes as a movie file whose header the player reads.
int fuzzMovieHeader(const std::uint8_t* data, std::size_t size);
// The bytes as a skin package unpacked into the skins folder of a scratch
// device: nothing outside that folder changes and the bounds hold.
int fuzzSkinPackage(const std::uint8_t* data, std::size_t size);
// The bytes as the payload of a WM_COPYDATA the running player receives
// from a second start; the first byte's low bit makes the count one short.
int fuzzCopyData(const std::uint8_t* data, std::size_t size);
