"""mkbootstrap: builds, signs and verifies an installation set's bootstrap."""
