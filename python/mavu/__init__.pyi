import os
from typing import Any, Iterable, List, Optional, Sequence, Tuple, Union

__version__: str

class Result:
    vertices: List[Any]
    weight: float
    best_iteration: int
    best_time: float
    kernel_vertices: Optional[int]
    proven_optimal: bool

GraphSource = Union[str, bytes, os.PathLike, Any]

def max_weight_clique(graph: Optional[GraphSource] = ..., *, edges: Optional[Iterable[Tuple[int, int]]] = ...,
                      weights: Optional[Sequence[float]] = ..., program: str = ..., seed: int = ...,
                      time_limit: Optional[float] = ..., max_iterations: int = ..., target: Optional[float] = ...,
                      depth: int = ..., directed_percent: int = ..., reduce: Optional[bool] = ...) -> Result: ...

def max_weight_independent_set(graph: Optional[GraphSource] = ..., *,
                               edges: Optional[Iterable[Tuple[int, int]]] = ...,
                               weights: Optional[Sequence[float]] = ..., program: str = ..., seed: int = ...,
                               time_limit: Optional[float] = ..., max_iterations: int = ...,
                               target: Optional[float] = ..., depth: int = ...,
                               directed_percent: int = ..., reduce: Optional[bool] = ...) -> Result: ...
