#pragma once

// A small effect layer over Direct3D 10: techniques with passes, and variables that are found by
// name and set by value, as a Direct3D effect offers them. Wine's compiler cannot build fx_4_0
// effects, so each pass's vertex and pixel shaders are compiled separately from one HLSL text
// (vs_4_0 / ps_4_0 through D3DCompile) and the variables are located through shader
// reflection. A variable that several shaders use is written into each of their constant
// buffers; `EffectPass::Apply` uploads what changed and binds the pass's shaders, constant
// buffers, shader resources and samplers.
//
// An effect belongs to the device that made it and is used from one thread at a time.

#include <d3d10.h>

#include <memory>
#include <string>
#include <vector>

namespace d3dfx {

struct PassDesc {
  std::string vertex_entry;  // compiled as vs_4_0
  std::string pixel_entry;   // compiled as ps_4_0
};

struct TechniqueDesc {
  std::string name;
  std::vector<PassDesc> passes;
};

// A sampler state that the shaders declare as `SamplerState <name>;`.
struct SamplerDesc {
  std::string name;
  D3D10_SAMPLER_DESC desc;
};

struct EffectDesc {
  std::vector<TechniqueDesc> techniques;
  std::vector<SamplerDesc> samplers;
  // Shader profiles; devices below feature level 10.0 need "vs_4_0_level_9_3" and its sibling.
  std::string vertex_profile = "vs_4_0";
  std::string pixel_profile = "ps_4_0";
};

class Effect;
struct CompiledShader;
struct ConstantBuffer;

class EffectPass {
 public:
  // Binds the pass's shaders (no geometry shader) and its constants, resources and samplers.
  HRESULT Apply();
  // The vertex shader's bytecode, for CreateInputLayout.
  const void* InputSignature() const;
  SIZE_T InputSignatureSize() const;

 private:
  friend class Effect;
  Effect* effect_ = nullptr;
  CompiledShader* vertex_ = nullptr;
  CompiledShader* pixel_ = nullptr;
};

class EffectTechnique {
 public:
  const std::string& Name() const { return name_; }
  UINT PassCount() const { return static_cast<UINT>(passes_.size()); }
  // Null for an index out of range.
  EffectPass* GetPassByIndex(UINT index);

 private:
  friend class Effect;
  std::string name_;
  std::vector<EffectPass> passes_;
};

// One variable of the effect. Setting a value of the wrong kind (a matrix into a float, a
// resource into a constant) does nothing.
class EffectVariable {
 public:
  const std::string& Name() const { return name_; }
  // Sixteen floats, row by row (as the shaders read `mul(vector, matrix)`).
  void SetMatrix(const float* row_major);
  void SetFloat(float value);
  void SetFloatVector(const float* four);
  // The view is held until it is replaced or the effect is destroyed.
  void SetResource(ID3D10ShaderResourceView* view);

 private:
  friend class Effect;
  friend class EffectPass;
  struct ConstantSlot {
    ConstantBuffer* buffer;
    UINT offset;
    UINT size;
    bool column_major;
  };
  void WriteConstant(const void* data, UINT size, bool is_matrix);

  std::string name_;
  std::vector<ConstantSlot> slots_;
  bool is_resource_ = false;
  // Owned reference to the view set last (released by the effect).
  ID3D10ShaderResourceView* view_ = nullptr;
};

class Effect {
 public:
  // Compiles every pass's shaders from `source` and builds the effect. On failure returns the
  // failing result and, when the compiler said why, its messages in `errors`.
  static HRESULT Create(ID3D10Device* device, const char* source, size_t source_size,
                        const EffectDesc& desc, std::unique_ptr<Effect>* effect,
                        std::string* errors);
  ~Effect();
  Effect(const Effect&) = delete;
  Effect& operator=(const Effect&) = delete;

  // Null when the effect has no technique or variable of that name.
  EffectTechnique* GetTechniqueByName(const char* name);
  EffectVariable* GetVariableByName(const char* name);

 private:
  friend class EffectPass;
  friend class EffectVariable;
  struct Impl;
  explicit Effect(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace d3dfx
