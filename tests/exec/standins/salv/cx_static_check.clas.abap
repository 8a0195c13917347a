* Stand-in: Exceptions the RAISING clause must name.
CLASS cx_static_check DEFINITION PUBLIC INHERITING FROM cx_root CREATE PUBLIC.
ENDCLASS.

CLASS cx_static_check IMPLEMENTATION.
ENDCLASS.
