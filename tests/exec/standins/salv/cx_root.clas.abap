* Stand-in for SAP's root of the exception classes, as far as the SALV
* stand-ins raise exceptions and the reports show them: the text the
* raising stand-in gave.
CLASS cx_root DEFINITION PUBLIC ABSTRACT CREATE PUBLIC.
  PUBLIC SECTION.
    INTERFACES if_message.
    ALIASES get_text FOR if_message~get_text.
    DATA previous TYPE REF TO cx_root READ-ONLY.
    METHODS constructor
      IMPORTING
        text     TYPE string OPTIONAL
        previous TYPE REF TO cx_root OPTIONAL.
  PROTECTED SECTION.
    DATA mv_text TYPE string.
ENDCLASS.

CLASS cx_root IMPLEMENTATION.
  METHOD constructor.
    mv_text = text.
    me->previous = previous.
  ENDMETHOD.

  METHOD if_message~get_text.
    result = mv_text.
  ENDMETHOD.

  METHOD if_message~get_longtext.
    result = mv_text.
  ENDMETHOD.
ENDCLASS.
