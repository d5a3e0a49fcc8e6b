// A skin-like document of a given size, built deterministically: the frame's
// panels and controls, then module sections with their own panels and controls,
// until the written document reaches the size asked for.
#pragma once

#include "xml/enxml.h"

#include <cstddef>
#include <memory>

std::unique_ptr<enXml> BuildSkinDocument(std::size_t targetBytes);
