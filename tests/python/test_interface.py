"""The module's public face: the enumerations taken and returned everywhere, and the type
stubs shipped with the package, which must name what the module has."""
import ast
import os

import numpy as np
import pytest

import k740
from conftest import REAL


def test_enumerations_are_taken_as_integers_and_returned_as_members():
    by_int = k740.open(REAL[-1], protocol=1, view_mode=1)
    by_enum = k740.open(REAL[-1], protocol=k740.Protocol.V1_7, view_mode=k740.ViewMode.WholeCentimetres)
    for cap in (by_int, by_enum):
        assert cap.protocol is k740.Protocol.V1_7 and cap.view_mode is k740.ViewMode.WholeCentimetres
        f = cap[0]
        assert f.protocol is k740.Protocol.V1_7 and f.view_mode is k740.ViewMode.WholeCentimetres
    np.testing.assert_array_equal(by_int[1].xyz, by_enum[1].xyz)
    # Members compare and hash as the integers the tools print.
    assert k740.Protocol.V1_6 == 0 and k740.ViewMode.Exact == 2 and k740.ReturnMode.DualEchoSecond == 3
    assert k740.open(REAL[-1]).protocol is k740.Protocol.V1_6
    with pytest.raises(ValueError, match="view mode takes 1 or 2, not 3"):
        k740.open(REAL[-1], view_mode=3)

    with k740.listen(port=0, protocol=k740.Protocol.V1_7, return_mode=k740.ReturnMode.DualEchoFirst,
                     view_mode=k740.ViewMode.Exact, timeout=0) as live:
        assert live.protocol is k740.Protocol.V1_6  # the requested protocol waits for a frame boundary
    assert live.protocol is None
    with pytest.raises(ValueError, match="return mode takes 0, 1, 2 or 3, not 4"):
        k740.listen(port=0, return_mode=4)


def public_names(tree):
    names = set()
    for node in tree.body:
        if isinstance(node, (ast.ClassDef, ast.FunctionDef)):
            names.add(node.name)
        elif isinstance(node, ast.AnnAssign):
            names.add(node.target.id)
    return names


def test_stubs_ship_with_the_package_and_name_what_it_has():
    folder = os.path.dirname(k740.__file__)
    assert os.path.exists(os.path.join(folder, "py.typed"))
    with open(os.path.join(folder, "__init__.pyi")) as f:
        tree = ast.parse(f.read())
    assert public_names(tree) == set(k740.__all__)
    classes = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    for name, node in classes.items():
        runtime = getattr(k740, name)
        stubbed = {n.name for n in node.body if isinstance(n, ast.FunctionDef)}
        stubbed |= {n.targets[0].id for n in node.body if isinstance(n, ast.Assign)}
        have = {n for n in dir(runtime) if not n.startswith("_") or n in ("__len__", "__getitem__", "__iter__",
                                                                          "__next__", "__enter__", "__exit__")}
        if issubclass(runtime, int):  # an enumeration: its members
            have = set(runtime.__members__)
        assert stubbed == have, name
    # The functions' parameters as the module takes them.
    functions = {node.name: node for node in tree.body if isinstance(node, ast.FunctionDef)}
    for name in ("open", "listen", "decode_device_packet"):
        params = [a.arg for a in functions[name].args.args]
        doc = getattr(k740, name).__doc__
        assert doc.startswith(f"{name}(" + ", ".join(params[:1])), (name, doc.splitlines()[0])
        for p in params:
            assert f"{p}:" in doc.splitlines()[0], (name, p)
