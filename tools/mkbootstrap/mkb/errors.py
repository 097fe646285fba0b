"""The one exception mkbootstrap raises for a failure the user must fix."""


class Failure(Exception):
    """A problem that stops the command. Its text names what to fix."""


class RowProblem:
    """A problem with one row of the installation set, or with one file."""

    def __init__(self, row, text):
        self.row = row
        self.text = text

    def __str__(self):
        if self.row is None:
            return self.text
        return f"{self.row.label()}: {self.text}"
