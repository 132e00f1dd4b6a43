#include "ModelDecorations.h"

namespace {

const ModelDecorations *&current()
{
    static const ModelDecorations *decorations = nullptr;
    return decorations;
}

} // namespace

void ModelDecorations::install(const ModelDecorations *decorations)
{
    current() = decorations;
}

const ModelDecorations *ModelDecorations::installed()
{
    return current();
}
