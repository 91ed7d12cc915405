{ Prints a dBase table as TDbf sees it, one fact a line:
    LEVEL <table level>
    FIELD <name> <native type> <size> <precision> <TFieldType>
    ROW <record number>
    VALUE <name>=<AsString>      or      NULL <name>
  With a tag name as second argument the rows are walked through that index tag. }
program tdbfdump;

uses
  SysUtils, Classes, TypInfo, DB, dbf, dbf_fields;

var
  Table: TDbf;
  I: Integer;
  Def: TDbfFieldDef;
  Field: TField;
begin
  if (ParamCount < 1) or (ParamCount > 2) then
  begin
    WriteLn(StdErr, 'usage: tdbfdump TABLE.DBF [TAG]');
    Halt(2);
  end;
  Table := TDbf.Create(nil);
  try
    try
      Table.FilePath := ExtractFilePath(ExpandFileName(ParamStr(1)));
      Table.TableName := ExtractFileName(ParamStr(1));
      Table.TableLevel := 7;
      Table.ReadOnly := True;
      if ParamCount = 2 then
        Table.IndexName := ParamStr(2);
      Table.Open;
      WriteLn('LEVEL ', Table.TableLevel);
      if ParamCount = 2 then
        WriteLn('INDEX ', Table.IndexName);
      for I := 0 to Table.DbfFieldDefs.Count - 1 do
      begin
        Def := Table.DbfFieldDefs.Items[I];
        WriteLn('FIELD ', Def.FieldName, ' ', Def.NativeFieldType, ' ', Def.Size, ' ', Def.Precision, ' ',
          GetEnumName(TypeInfo(TFieldType), Ord(Def.FieldType)));
      end;
      Table.First;
      while not Table.EOF do
      begin
        WriteLn('ROW ', Table.PhysicalRecNo);
        for I := 0 to Table.Fields.Count - 1 do
        begin
          Field := Table.Fields[I];
          if Field.IsNull then
            WriteLn('NULL ', Field.FieldName)
          else
            WriteLn('VALUE ', Field.FieldName, '=', Field.AsString);
        end;
        Table.Next;
      end;
      Table.Close;
    except
      on E: Exception do
      begin
        WriteLn(StdErr, 'ERROR ', E.ClassName, ': ', E.Message);
        Halt(1);
      end;
    end;
  finally
    Table.Free;
  end;
end.
