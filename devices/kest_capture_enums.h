#pragma once

// The sink filter's enumerators: over its one pin and over its pin's one media type. Each
// keeps the filter alive and hands out added references or task-memory media types.

#include <windows.h>
#include <strmif.h>

#include <atomic>

class CKestCaptureFilter;

class CKestCaptureEnumPins final : public IEnumPins {
 public:
  // One reference, the caller's. Null when out of memory.
  static CKestCaptureEnumPins* Create(CKestCaptureFilter* filter, ULONG position = 0);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, IPin** pins, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumPins** clone) override;

 private:
  CKestCaptureEnumPins(CKestCaptureFilter* filter, ULONG position);
  ~CKestCaptureEnumPins();

  std::atomic<ULONG> references_{1};
  CKestCaptureFilter* const filter_;  // Owned reference.
  ULONG position_;
};

class CKestCaptureEnumMediaTypes final : public IEnumMediaTypes {
 public:
  // One reference, the caller's. Null when out of memory.
  static CKestCaptureEnumMediaTypes* Create(CKestCaptureFilter* filter, ULONG position = 0);

  STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  STDMETHODIMP Next(ULONG count, AM_MEDIA_TYPE** types, ULONG* fetched) override;
  STDMETHODIMP Skip(ULONG count) override;
  STDMETHODIMP Reset() override;
  STDMETHODIMP Clone(IEnumMediaTypes** clone) override;

 private:
  CKestCaptureEnumMediaTypes(CKestCaptureFilter* filter, ULONG position);
  ~CKestCaptureEnumMediaTypes();

  std::atomic<ULONG> references_{1};
  CKestCaptureFilter* const filter_;  // Owned reference.
  ULONG position_;
};
