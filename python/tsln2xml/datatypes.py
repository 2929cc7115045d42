"""The data types of a storage area, by code and name."""

import enum
from typing import Union

__all__ = ["DataType", "TypeLike"]


class DataType(enum.IntEnum):
    """A data type: its value is the library's code, its name the name used in
    documents, item lists and the command line (``tsln2xml types``)."""

    Alteration = 1
    Annotation = 2
    BlockBuffer = 3
    Cut = 4
    RawPiece = 5
    LayLimit = 6
    LayRule = 7
    Macro = 8
    Marker = 9
    Matching = 11
    Model = 12
    Order = 13
    CutterEnvironment = 14
    LayRuleSearch = 15
    MarkerPlotEnvironment = 16
    NotchEnvironment = 17
    PiecePlotEnvironment = 18
    UserEnvironment = 19
    Piece = 20
    PieceList = 21
    Plot = 22
    Grading = 23
    SizeCode = 24
    Text = 25

    @classmethod
    def of(cls, value: "TypeLike") -> "DataType":
        """The data type given by a member, a code (``24`` or ``"24"``) or a
        name in any case (``"SizeCode"``, ``"sizecode"``).

        Raises ``ValueError`` for anything that names no data type.
        """
        if isinstance(value, cls):
            return value
        if isinstance(value, int) and not isinstance(value, bool):
            return cls(value)  # ValueError for a code outside the table
        if isinstance(value, str):
            text = value.strip()
            if text.isdigit():
                return cls(int(text))
            for member in cls:
                if member.name.lower() == text.lower():
                    return member
        raise ValueError(f"{value!r} is not a data type (a name such as 'SizeCode' or a code such as 24)")


TypeLike = Union[DataType, int, str]
