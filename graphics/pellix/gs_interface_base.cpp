// The interface classes' own members, exported by Pellix so that a user may link against them.
#include "graphics/include/pellix_interface.h"

gsTextureBase::gsTextureBase() = default;
gsTextureBase::gsTextureBase(const gsTextureBase&) = default;
gsTextureBase::~gsTextureBase() = default;
gsTextureBase& gsTextureBase::operator=(const gsTextureBase&) = default;

gsSystemBase::gsSystemBase() = default;
gsSystemBase::gsSystemBase(const gsSystemBase&) = default;
gsSystemBase::~gsSystemBase() = default;
gsSystemBase& gsSystemBase::operator=(const gsSystemBase&) = default;
