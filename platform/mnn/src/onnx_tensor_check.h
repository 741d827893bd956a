// Checks that every tensor stored in an ONNX graph holds exactly the values its shape declares,
// before OpenCV's reader, which copies the declared size, sees the bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mnn_layer {

// True when every tensor of the graph (initialisers, sparse initialisers, tensors in node
// attributes, and those of subgraphs) has a known data type, non-negative dimensions and
// exactly as many values, in raw bytes or in its typed field, as its dimensions multiply to.
// Tensors whose values live in outside files are refused: models are read from memory only.
// |graph| is a GraphProto's bytes.
bool GraphTensorsHoldTheirShapes(const uint8_t* graph, size_t length);

}  // namespace mnn_layer
