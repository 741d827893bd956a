#pragma once

// AvBase: the DirectShow graph that the camera, microphone and speaker engines each own, and
// the graph services they share.
//
// The graph is made by the engine's Init (CreateGraph) and released by its Uninit
// (ReleaseGraph). COM: CreateGraph initialises COM (multi-threaded) on the calling thread when
// that thread has no apartment yet, and ReleaseGraph balances that on the same thread; a
// caller's own apartment is used as it is.
//
// Not thread-safe: the owning engine calls these from its control thread.

#include <windows.h>
#include <strmif.h>
#include <control.h>
#include <wrl/client.h>

class AvBase {
 public:
  virtual ~AvBase();
  AvBase(const AvBase&) = delete;
  AvBase& operator=(const AvBase&) = delete;

  // The graph (null before Init and after Uninit); for tests and diagnostics.
  IGraphBuilder* graph() const { return graph_.Get(); }
  // The number of filters in the graph (0 without a graph).
  int FilterCount() const;

  // The first output pin of `device` whose pin category is the capture category; null when
  // it has none.
  static Microsoft::WRL::ComPtr<IPin> FindCapturePin(IBaseFilter* device);

 protected:
  AvBase();

  // Makes the filter graph and hands it to a capture graph builder. False (and logged) when
  // either cannot be made; nothing is kept then.
  bool CreateGraph();
  // Releases the media control, the capture graph builder and the graph, in that order.
  void ReleaseGraph();
  bool HasGraph() const { return graph_ != nullptr; }

  bool IsFilterInGraph(IBaseFilter* filter) const;
  // Removes `filter` when it is in the graph.
  void RemoveFromGraph(IBaseFilter* filter);
  // For every connected output pin of `filter`: tears down the filter behind it, then
  // disconnects both ends and removes that filter from the graph.
  void TearDownDownstream(IBaseFilter* filter);
  // Disconnects and removes every filter still in the graph.
  void RemoveAllFilters();

  // Adds `sink` and `device` to the graph and connects the device's capture stream of `major`
  // to the sink (RenderStream, which may insert a tee and converters; with `allow_direct`, a
  // direct connection of the capture pin when that fails), then runs the graph. On failure
  // the graph is emptied and false is returned.
  bool StartCaptureGraph(IBaseFilter* device, IBaseFilter* sink, const GUID& major,
                         bool allow_direct);
  // Stops the graph, tears it down behind `device`, removes the device and anything left.
  void StopCaptureGraph(IBaseFilter* device);

 private:
  bool EnterCom();
  void LeaveCom();

  Microsoft::WRL::ComPtr<IGraphBuilder> graph_;
  Microsoft::WRL::ComPtr<ICaptureGraphBuilder2> builder_;
  Microsoft::WRL::ComPtr<IMediaControl> control_;
  bool com_entered_ = false;  // This object initialised COM on |com_thread_|.
  DWORD com_thread_ = 0;
};
