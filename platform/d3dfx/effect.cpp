#include "platform/d3dfx/effect.h"

#include <d3dcompiler.h>
#include <d3d11shader.h>
#include <wrl/client.h>

#include <cstring>
#include <map>

namespace d3dfx {

using Microsoft::WRL::ComPtr;

// One constant buffer of one shader, with the bytes the variables wrote into it.
struct ConstantBuffer {
  ComPtr<ID3D10Buffer> buffer;
  std::vector<unsigned char> shadow;
  UINT slot = 0;
  bool dirty = true;
};

struct CompiledShader {
  struct ResourceSlot {
    EffectVariable* variable;
    UINT slot;
  };
  struct SamplerSlot {
    ID3D10SamplerState* state;  // owned by the effect
    UINT slot;
  };

  ComPtr<ID3DBlob> code;
  ComPtr<ID3D10VertexShader> vertex;
  ComPtr<ID3D10PixelShader> pixel;
  std::vector<ConstantBuffer*> buffers;
  std::vector<ResourceSlot> resources;
  std::vector<SamplerSlot> samplers;
};

struct Effect::Impl {
  ComPtr<ID3D10Device> device;
  std::map<std::string, std::unique_ptr<CompiledShader>> shaders;  // by profile and entry
  std::vector<std::unique_ptr<ConstantBuffer>> buffers;
  std::map<std::string, std::unique_ptr<EffectVariable>> variables;
  std::map<std::string, std::unique_ptr<EffectTechnique>> techniques;
  std::map<std::string, ComPtr<ID3D10SamplerState>> samplers;

  EffectVariable* Variable(const std::string& name) {
    auto& slot = variables[name];
    if (!slot) {
      slot = std::make_unique<EffectVariable>();
      slot->name_ = name;
    }
    return slot.get();
  }

  HRESULT Compile(const char* source, size_t size, const std::string& entry,
                  const std::string& profile, bool vertex, CompiledShader** out,
                  std::string* errors);
  HRESULT Reflect(CompiledShader* shader);
};

namespace {

void AppendBlobText(ID3DBlob* blob, std::string* errors) {
  if (!blob || !errors) return;
  const char* text = static_cast<const char*>(blob->GetBufferPointer());
  errors->append(text, strnlen(text, blob->GetBufferSize()));
}

}  // namespace

HRESULT Effect::Impl::Compile(const char* source, size_t size, const std::string& entry,
                              const std::string& profile, bool vertex, CompiledShader** out,
                              std::string* errors) {
  std::string key = profile + ":" + entry;
  auto found = shaders.find(key);
  if (found != shaders.end()) {
    *out = found->second.get();
    return S_OK;
  }
  auto shader = std::make_unique<CompiledShader>();
  ComPtr<ID3DBlob> messages;
  HRESULT hr = D3DCompile(source, size, "effect", nullptr, nullptr, entry.c_str(), profile.c_str(),
                          D3DCOMPILE_OPTIMIZATION_LEVEL3, 0, &shader->code, &messages);
  AppendBlobText(messages.Get(), errors);
  if (FAILED(hr)) return hr;
  const void* code = shader->code->GetBufferPointer();
  SIZE_T code_size = shader->code->GetBufferSize();
  hr = vertex ? device->CreateVertexShader(code, code_size, &shader->vertex)
              : device->CreatePixelShader(code, code_size, &shader->pixel);
  if (FAILED(hr)) return hr;
  hr = Reflect(shader.get());
  if (FAILED(hr)) return hr;
  *out = shader.get();
  shaders.emplace(key, std::move(shader));
  return S_OK;
}

// Finds the shader's constant buffers, textures and samplers and ties them to the effect's
// variables and sampler states by name.
HRESULT Effect::Impl::Reflect(CompiledShader* shader) {
  ComPtr<ID3D11ShaderReflection> reflection;
  HRESULT hr =
      D3DReflect(shader->code->GetBufferPointer(), shader->code->GetBufferSize(),
                 IID_ID3D11ShaderReflection, reinterpret_cast<void**>(reflection.GetAddressOf()));
  if (FAILED(hr)) return hr;
  D3D11_SHADER_DESC shader_desc;
  hr = reflection->GetDesc(&shader_desc);
  if (FAILED(hr)) return hr;

  for (UINT i = 0; i < shader_desc.BoundResources; ++i) {
    D3D11_SHADER_INPUT_BIND_DESC bind;
    if (FAILED(reflection->GetResourceBindingDesc(i, &bind))) continue;
    if (bind.Type == D3D_SIT_TEXTURE) {
      EffectVariable* variable = Variable(bind.Name);
      variable->is_resource_ = true;
      shader->resources.push_back({variable, bind.BindPoint});
    } else if (bind.Type == D3D_SIT_SAMPLER) {
      auto sampler = samplers.find(bind.Name);
      if (sampler != samplers.end())
        shader->samplers.push_back({sampler->second.Get(), bind.BindPoint});
    } else if (bind.Type == D3D_SIT_CBUFFER) {
      ID3D11ShaderReflectionConstantBuffer* reflected =
          reflection->GetConstantBufferByName(bind.Name);
      D3D11_SHADER_BUFFER_DESC buffer_desc;
      if (!reflected || FAILED(reflected->GetDesc(&buffer_desc)) || buffer_desc.Size == 0) continue;
      auto buffer = std::make_unique<ConstantBuffer>();
      buffer->slot = bind.BindPoint;
      buffer->shadow.assign(buffer_desc.Size, 0);
      D3D10_BUFFER_DESC desc = {};
      desc.ByteWidth = (buffer_desc.Size + 15) & ~15u;
      desc.Usage = D3D10_USAGE_DEFAULT;
      desc.BindFlags = D3D10_BIND_CONSTANT_BUFFER;
      buffer->shadow.resize(desc.ByteWidth, 0);
      hr = device->CreateBuffer(&desc, nullptr, &buffer->buffer);
      if (FAILED(hr)) return hr;
      for (UINT v = 0; v < buffer_desc.Variables; ++v) {
        ID3D11ShaderReflectionVariable* member = reflected->GetVariableByIndex(v);
        D3D11_SHADER_VARIABLE_DESC member_desc;
        D3D11_SHADER_TYPE_DESC type_desc;
        if (!member || FAILED(member->GetDesc(&member_desc)) ||
            FAILED(member->GetType()->GetDesc(&type_desc)))
          continue;
        if (type_desc.Class == D3D_SVC_OBJECT || member_desc.Size == 0 ||
            member_desc.StartOffset + member_desc.Size > buffer_desc.Size)
          continue;
        EffectVariable* variable = Variable(member_desc.Name);
        variable->slots_.push_back({buffer.get(), member_desc.StartOffset, member_desc.Size,
                                    type_desc.Class == D3D_SVC_MATRIX_COLUMNS});
      }
      shader->buffers.push_back(buffer.get());
      buffers.push_back(std::move(buffer));
    }
  }
  return S_OK;
}

HRESULT Effect::Create(ID3D10Device* device, const char* source, size_t source_size,
                       const EffectDesc& desc, std::unique_ptr<Effect>* effect,
                       std::string* errors) {
  if (!device || !source || source_size == 0 || !effect) return E_INVALIDARG;
  effect->reset();
  auto impl = std::make_unique<Impl>();
  impl->device = device;
  for (const SamplerDesc& sampler : desc.samplers) {
    ComPtr<ID3D10SamplerState> state;
    HRESULT hr = device->CreateSamplerState(&sampler.desc, &state);
    if (FAILED(hr)) return hr;
    impl->samplers[sampler.name] = state;
  }
  std::unique_ptr<Effect> built(new Effect(std::move(impl)));
  Impl& parts = *built->impl_;
  for (const TechniqueDesc& technique_desc : desc.techniques) {
    auto technique = std::make_unique<EffectTechnique>();
    technique->name_ = technique_desc.name;
    for (const PassDesc& pass_desc : technique_desc.passes) {
      EffectPass pass;
      pass.effect_ = built.get();
      HRESULT hr = parts.Compile(source, source_size, pass_desc.vertex_entry, desc.vertex_profile,
                                 true, &pass.vertex_, errors);
      if (SUCCEEDED(hr))
        hr = parts.Compile(source, source_size, pass_desc.pixel_entry, desc.pixel_profile, false,
                           &pass.pixel_, errors);
      if (FAILED(hr)) return hr;
      technique->passes_.push_back(pass);
    }
    parts.techniques[technique_desc.name] = std::move(technique);
  }
  *effect = std::move(built);
  return S_OK;
}

Effect::Effect(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}

Effect::~Effect() {
  for (auto& entry : impl_->variables) {
    if (entry.second->view_) entry.second->view_->Release();
  }
}

EffectTechnique* Effect::GetTechniqueByName(const char* name) {
  if (!name) return nullptr;
  auto found = impl_->techniques.find(name);
  return found == impl_->techniques.end() ? nullptr : found->second.get();
}

EffectVariable* Effect::GetVariableByName(const char* name) {
  if (!name) return nullptr;
  auto found = impl_->variables.find(name);
  return found == impl_->variables.end() ? nullptr : found->second.get();
}

EffectPass* EffectTechnique::GetPassByIndex(UINT index) {
  return index < passes_.size() ? &passes_[index] : nullptr;
}

const void* EffectPass::InputSignature() const {
  return vertex_ ? vertex_->code->GetBufferPointer() : nullptr;
}

SIZE_T EffectPass::InputSignatureSize() const {
  return vertex_ ? vertex_->code->GetBufferSize() : 0;
}

HRESULT EffectPass::Apply() {
  if (!effect_ || !vertex_ || !pixel_) return E_FAIL;
  ID3D10Device* device = effect_->impl_->device.Get();
  device->VSSetShader(vertex_->vertex.Get());
  device->GSSetShader(nullptr);
  device->PSSetShader(pixel_->pixel.Get());
  for (CompiledShader* shader : {vertex_, pixel_}) {
    bool is_vertex = shader == vertex_;
    for (ConstantBuffer* buffer : shader->buffers) {
      if (buffer->dirty) {
        device->UpdateSubresource(buffer->buffer.Get(), 0, nullptr, buffer->shadow.data(), 0, 0);
        buffer->dirty = false;
      }
      ID3D10Buffer* bound = buffer->buffer.Get();
      if (is_vertex)
        device->VSSetConstantBuffers(buffer->slot, 1, &bound);
      else
        device->PSSetConstantBuffers(buffer->slot, 1, &bound);
    }
    for (const CompiledShader::ResourceSlot& resource : shader->resources) {
      ID3D10ShaderResourceView* view = resource.variable->view_;
      if (is_vertex)
        device->VSSetShaderResources(resource.slot, 1, &view);
      else
        device->PSSetShaderResources(resource.slot, 1, &view);
    }
    for (const CompiledShader::SamplerSlot& sampler : shader->samplers) {
      ID3D10SamplerState* state = sampler.state;
      if (is_vertex)
        device->VSSetSamplers(sampler.slot, 1, &state);
      else
        device->PSSetSamplers(sampler.slot, 1, &state);
    }
  }
  return S_OK;
}

void EffectVariable::WriteConstant(const void* data, UINT size, bool is_matrix) {
  for (ConstantSlot& slot : slots_) {
    unsigned char* target = slot.buffer->shadow.data() + slot.offset;
    if (is_matrix && slot.column_major && slot.size >= 64) {
      const float* m = static_cast<const float*>(data);
      float transposed[16];
      for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) transposed[c * 4 + r] = m[r * 4 + c];
      memcpy(target, transposed, sizeof(transposed));
    } else {
      memcpy(target, data, size < slot.size ? size : slot.size);
    }
    slot.buffer->dirty = true;
  }
}

void EffectVariable::SetMatrix(const float* row_major) {
  if (row_major) WriteConstant(row_major, 16 * sizeof(float), true);
}

void EffectVariable::SetFloat(float value) { WriteConstant(&value, sizeof(value), false); }

void EffectVariable::SetFloatVector(const float* four) {
  if (four) WriteConstant(four, 4 * sizeof(float), false);
}

void EffectVariable::SetResource(ID3D10ShaderResourceView* view) {
  if (!is_resource_) return;
  if (view) view->AddRef();
  if (view_) view_->Release();
  view_ = view;
}

}  // namespace d3dfx
