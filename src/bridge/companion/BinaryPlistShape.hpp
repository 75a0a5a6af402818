#pragma once
// BinaryPlistShape: how large the tree of a binary property list would grow, read from its
// offset table and object references alone, before anything parses it. The format lets many
// containers refer to one object, and a parser that copies each shared object once per reference
// turns a few hundred bytes into millions of nodes; so a reader of bytes from the network asks
// first. Pure; any thread; never throws.
//
//   if (!BinaryPlistShape::fitsIn(bytes, 10'000)) return std::nullopt;   // then parse

#include <cstddef>

#include "bridge/crypto/Bytes.hpp"

namespace orvel::BinaryPlistShape {

// Containers nested deeper than this are refused; keyed archives nest a few levels.
inline constexpr int kMaxDepth = 32;

// True when the bytes are a well-formed "bplist00" whose tree, with every shared object counted
// once per reference, has at most `maxNodes` nodes, no container holding itself and no nesting
// past kMaxDepth.
bool fitsIn(crypto::ByteView bytes, std::size_t maxNodes);

}  // namespace orvel::BinaryPlistShape
