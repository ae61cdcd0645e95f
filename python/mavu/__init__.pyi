import os
from typing import Any, Callable, Iterable, List, Literal, Optional, Sequence, Tuple, Union

import numpy as np
import numpy.typing as npt

__version__: str

class StopToken:
    def __init__(self) -> None: ...
    def request_stop(self) -> None: ...
    def reset(self) -> None: ...
    @property
    def stop_requested(self) -> bool: ...

_StopReason = Literal["iterations", "time_limit", "wall_time_limit", "target", "stop_requested", "empty_graph",
                     "proven"]
_Program = Literal["mavu1", "mavu2"]

class Result(Tuple[List[Any], float]):
    best_iteration: int
    best_time: float
    iterations: int
    stopped: _StopReason
    seed: int
    runs: List["Result"]
    kernel_vertices: Optional[int]
    proven_optimal: bool
    @property
    def vertices(self) -> List[Any]: ...
    @property
    def weight(self) -> float: ...

# A path to an instance file, a networkx graph or a scipy.sparse matrix.
GraphSource = Union[str, bytes, "os.PathLike[str]", "os.PathLike[bytes]", Any]
Edges = Union[Iterable[Tuple[int, int]], npt.NDArray[np.integer[Any]]]
Weights = Union[Sequence[float], npt.NDArray[Any]]
ProgressCallback = Callable[[int, float, float], object]

def max_weight_clique(graph: Optional[GraphSource] = ..., *, edges: Optional[Edges] = ...,
                      weights: Optional[Weights] = ..., weight: Optional[str] = ..., program: _Program = ...,
                      seed: int = ..., seeds: Optional[Sequence[int]] = ..., threads: int = ...,
                      time_limit: Optional[float] = ..., wall_time_limit: Optional[float] = ...,
                      max_iterations: Optional[int] = ..., target: Optional[float] = ..., depth: int = ...,
                      directed_percent: int = ..., stop: Optional[StopToken] = ...,
                      progress: Optional[ProgressCallback] = ...,
                      reduce: Optional[bool] = ...) -> Result: ...

def max_weight_independent_set(graph: Optional[GraphSource] = ..., *, edges: Optional[Edges] = ...,
                               weights: Optional[Weights] = ..., weight: Optional[str] = ...,
                               program: _Program = ..., seed: int = ..., seeds: Optional[Sequence[int]] = ...,
                               threads: int = ..., time_limit: Optional[float] = ...,
                               wall_time_limit: Optional[float] = ..., max_iterations: Optional[int] = ...,
                               target: Optional[float] = ..., depth: int = ..., directed_percent: int = ...,
                               stop: Optional[StopToken] = ...,
                               progress: Optional[ProgressCallback] = ...,
                               reduce: Optional[bool] = ...) -> Result: ...
