* Stand-in for SAP's message interface of exception objects: MESSAGE with
* an exception object shows what get_text returns.
INTERFACE if_message PUBLIC.
  METHODS get_text
    RETURNING VALUE(result) TYPE string.
  METHODS get_longtext
    IMPORTING preserve_newlines TYPE abap_bool OPTIONAL
    RETURNING VALUE(result) TYPE string.
ENDINTERFACE.
